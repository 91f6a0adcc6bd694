// The extraction a self-extracting program performs on itself: the ZIP
// archive appended to the program file, extracted by the engine's ZIP
// reader into a folder, with the reader's overwrite question handed to the
// caller.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace bramble {

enum class TOverwriteAnswer { Yes, No, Cancel };

class TSelfExtract {
public:
    explicit TSelfExtract(std::string Program);

    // Whether a ZIP archive follows the program.
    bool HasArchive() const { return hasArchive_; }
    const std::string& Program() const { return program_; }

    // Asked for every file that exists already.
    std::function<TOverwriteAnswer(const std::string& FileName)> OnOverwrite;
    // The run's progress in percent.
    std::function<void(int Percent)> OnProgress;

    struct Result {
        int Extracted = 0;                // files written
        std::vector<std::string> Errors;  // one line per failure
        bool Cancelled = false;
    };
    // Extracts every entry into Folder (created when missing), restoring
    // the stored folders.
    Result Extract(const std::string& Folder);

private:
    std::string program_;
    bool hasArchive_ = false;
};

}  // namespace bramble
