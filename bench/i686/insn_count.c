/* A QEMU TCG plugin that counts the guest instructions a program executes
 * and prints the total to stderr when it ends ("instructions N"). Written
 * against the plugin interface's first version (QEMU 7), declared here
 * rather than taken from QEMU's sources, which Debian does not package. */
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

typedef uint64_t qemu_plugin_id_t;
struct qemu_plugin_tb;
typedef struct qemu_info_t qemu_info_t;
typedef void (*tb_trans_cb)(qemu_plugin_id_t, struct qemu_plugin_tb*);
typedef void (*udata_cb)(qemu_plugin_id_t, void*);

void qemu_plugin_register_vcpu_tb_trans_cb(qemu_plugin_id_t, tb_trans_cb);
size_t qemu_plugin_tb_n_insns(const struct qemu_plugin_tb*);
void qemu_plugin_register_vcpu_tb_exec_inline(struct qemu_plugin_tb*, int op, void* ptr, uint64_t imm);
void qemu_plugin_register_atexit_cb(qemu_plugin_id_t, udata_cb, void*);

enum { kInlineAddU64 = 0 };

__attribute__((visibility("default"))) int qemu_plugin_version = 1;

static uint64_t executed;

/* Each translated block adds its length to the count every time it runs. */
static void Translated(qemu_plugin_id_t id, struct qemu_plugin_tb* tb) {
    (void)id;
    qemu_plugin_register_vcpu_tb_exec_inline(tb, kInlineAddU64, &executed, qemu_plugin_tb_n_insns(tb));
}

static void Exited(qemu_plugin_id_t id, void* data) {
    (void)id;
    (void)data;
    fprintf(stderr, "instructions %llu\n", (unsigned long long)executed);
}

__attribute__((visibility("default"))) int qemu_plugin_install(qemu_plugin_id_t id, const qemu_info_t* info,
                                                               int argc, char** argv) {
    (void)info;
    (void)argc;
    (void)argv;
    qemu_plugin_register_vcpu_tb_trans_cb(id, Translated);
    qemu_plugin_register_atexit_cb(id, Exited, NULL);
    return 0;
}
