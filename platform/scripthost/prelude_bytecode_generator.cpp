// SPDX-License-Identifier: MIT
// Compiles the JScript prelude with the packaged Duktape and writes it as the engine's bytecode,
// so that a new heap loads it instead of compiling the source. Run at build time.
//
// Usage: prelude_bytecode_generator <prelude.js> <output>
//
// The output starts with the version of the Duktape library that made the bytecode (a 32-bit
// number in the machine's byte order), followed by what duk_dump_function gives. Bytecode is
// only valid for the engine that made it, so the engine loads it only when the library it runs
// with reports the same version.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <duktape.h>
#include <fstream>
#include <iterator>
#include <string>

namespace {

// Compiles the source exactly as a heap does when it has no bytecode: as a program named
// "prelude". Leaves [version, bytecode] on the stack.
duk_ret_t compileProtected(duk_context* ctx, void* udata)
{
    const auto* source = static_cast<const std::string*>(udata);
    duk_get_global_string(ctx, "Duktape");
    duk_get_prop_string(ctx, -1, "version");
    duk_remove(ctx, -2);
    duk_push_string(ctx, "prelude");
    duk_compile_lstring_filename(ctx, 0, source->data(), source->size());
    duk_dump_function(ctx);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <prelude.js> <output>\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::string source{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (!in.good() && !in.eof()) {
        std::perror(argv[1]);
        return 1;
    }
    duk_context* ctx = duk_create_heap_default();
    if (!ctx) {
        std::fprintf(stderr, "cannot make a Duktape heap\n");
        return 1;
    }
    int status = 1;
    if (duk_safe_call(ctx, compileProtected, &source, 0, 2) != 0) {
        std::fprintf(stderr, "%s: %s\n", argv[1], duk_safe_to_string(ctx, -1));
    } else {
        const auto version = static_cast<std::uint32_t>(duk_get_uint(ctx, -2));
        duk_size_t size = 0;
        const void* bytecode = duk_get_buffer_data(ctx, -1, &size);
        std::FILE* file = std::fopen(argv[2], "wb");
        if (!file) {
            std::perror(argv[2]);
        } else {
            const bool written = version != 0 && bytecode && size > 0 &&
                                 std::fwrite(&version, sizeof version, 1, file) == 1 &&
                                 std::fwrite(bytecode, 1, size, file) == size;
            status = std::fclose(file) == 0 && written ? 0 : 1;
            if (status != 0) {
                std::fprintf(stderr, "%s: could not be written\n", argv[2]);
                std::remove(argv[2]);
            }
        }
    }
    duk_destroy_heap(ctx);
    return status;
}
