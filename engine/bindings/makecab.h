// The cabinet writer: writes a new cabinet from the files FileSpec names
// through the platform's cabinet library (FCI). A cabinet is always written
// whole, into a temporary file beside the target, and replaces an existing
// one only when it is complete; a move then deletes the sources it holds.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/bindings/cabfiles.h"
#include "engine/core/compbase.h"

namespace bramble {

enum TCompressionType : uint8_t { ctStore, ctMsZip, ctLzx };

using TGetNextCabinetEvent = std::function<void(TObject* Sender, cab::CCAB& CabParameters,
                                                std::string& NewCabFileName, int PreviousCabEstimatedSize,
                                                bool& AbortCreation)>;

// The cabinet writer's base, which adds nothing to every writer's.
using TCabInterface = TCompBase;

class TMakeCAB : public TCabInterface {
public:
    explicit TMakeCAB(TComponent* AOwner = nullptr);
    ~TMakeCAB() override;

    bool FailOnIncompressible() const { return failOnIncompressible_; }
    void SetFailOnIncompressible(bool v) { failOnIncompressible_ = v; }
    int LzxLevel() const { return lzxLevel_; }
    void SetLzxLevel(int v);
    TCompressionType QuantumType() const { return quantumType_; }
    void SetQuantumType(TCompressionType v) { quantumType_ = v; }
    int QuantumLevel() const { return quantumLevel_; }
    void SetQuantumLevel(int v);
    int QuantumMemory() const { return quantumMemory_; }
    void SetQuantumMemory(int v);

    TGetNextCabinetEvent OnGetNextCabinet;

    // The compression word FCIAddFile gets for CompressMethod.
    uint16_t CompressionWord() const;
    // The method code an entry is described with (OnRead): 0 stored, 1
    // MSZIP, 2 LZX, and for Quantum the ordinal of QuantumType.
    uint16_t EntryMethodCode() const;

    // Always a cabinet, whatever the file holds now: it is written whole.
    // A name without an extension gets DefaultExt.
    void SetArcType(TArcType Value) override;
    void CompressArchive() override;
    // Reads the names of the cabinet just written, for a move's check.
    void ReadHeaders() override;
    // Where a file the library names lies: the cabinet being written (the
    // archive's name) is the temporary file until it is complete.
    std::string FileOnDisk(const std::string& Name) const;

    // What the library's callbacks call (see makecab.cpp).
    virtual bool GetNextCabinet(cab::CCAB& Cab, uint32_t PreviousSize);
    virtual std::string GetTempFileName();
    virtual intptr_t GetOpenInfo(const std::string& Name, uint16_t& Date, uint16_t& Time, uint16_t& Attribs,
                                 int& Error);
    uint32_t ReadSource(intptr_t Handle, void* Buffer, uint32_t Count, int& Error);

    TStreamCabinetFileHandler& FileHandler() { return files_; }
    TCabinetCall& Call() { return call_; }

private:
    void CreateContext(const std::string& CabinetName);
    void DestroyContext();
    bool CompressOne(THeadObject& e, int Count);

    bool failOnIncompressible_ = true;
    int lzxLevel_ = 21;
    TCompressionType quantumType_ = ctMsZip;
    int quantumLevel_ = 7;
    int quantumMemory_ = 21;

    TStreamCabinetFileHandler files_;
    cab::HFCI context_ = nullptr;
    cab::CCAB ccab_{};
    TCabinetCall call_;
    std::string cabinetPath_;  // the archive's full name, as the library builds it
    std::vector<std::string> libraryTemps_;  // temporary files made for the library this run
    intptr_t sourceHandle_ = -1;
    int64_t sourceLeft_ = 0, sourceSize_ = 0;
};

}  // namespace bramble
