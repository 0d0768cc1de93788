// Writes the master shape library from our own Illustrator-style drawings: one record per
// drawing, named after the file, in the order given. Fails (and writes nothing) when a
// drawing does not convert, so a broken drawing breaks the build instead of the library.
// Usage: make_shapes OUTPUT.lib DRAWING.ai...
#include "pattern/ai_import.h"
#include "pattern/shape_library.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_shapes OUTPUT.lib DRAWING.ai...\n");
        return 2;
    }
    std::string library;
    for (int i = 2; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        const std::string name = std::filesystem::path(argv[i]).stem().string();
        AiConversion c = convertIllustrator(bytes, name);
        if (!in || c.status <= 0) {
            std::fprintf(stderr, "make_shapes: %s: %s\n", argv[i],
                         c.status < 0 ? aiFailureText(c.status).c_str() : "cannot read");
            return 1;
        }
        // A little air between the rows of the staggered screen, none in the square one.
        c.shape.spacing45 = 0.05f;
        c.shape.spacing0 = 0.0f;
        library += encodeShapeRecord(c.shape);
    }
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(library.data(), static_cast<std::streamsize>(library.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "make_shapes: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
