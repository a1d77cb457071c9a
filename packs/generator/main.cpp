// kinetrope_pack_generator: renders every built-in pack and writes the
// tables as binary blobs with the assembler files that link them, the
// headers, samplers and registry that the library compiles, and the list of
// table digests.
//
// Usage: kinetrope_pack_generator <output dir> <data dir> <pack>...
// The data dir holds the packs' reviewable data files (scores, sequences).
// The packs named must be exactly the generator's packs, in registry order,
// so that the build's list of generated files cannot drift from the data.
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "emit.hpp"
#include "packs.hpp"

namespace {
namespace main_local {

using namespace kinetrope::packgen;

std::vector<RenderedPack> render_all(const std::vector<Pack>& packs) {
    std::vector<RenderedPack> rendered;
    for (const Pack& pack : packs) {
        RenderedPack r{pack.name, {}};
        for (const PatternDef& pattern : pack.patterns) {
            r.patterns.push_back({&pattern, render(pattern)});
        }
        rendered.push_back(std::move(r));
    }
    return rendered;
}

bool names_match(const std::vector<Pack>& packs, const std::vector<std::string>& requested) {
    if (packs.size() != requested.size()) {
        return false;
    }
    for (std::size_t i = 0; i < packs.size(); ++i) {
        if (packs[i].name != requested[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace main_local
}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: kinetrope_pack_generator <output dir> <data dir> <pack>...\n";
        return 2;
    }
    try {
    using namespace main_local;
        const std::filesystem::path out = argv[1];
        const std::filesystem::path data_dir = argv[2];
        const std::vector<std::string> requested(argv + 3, argv + argc);
        const std::vector<Pack> packs = all_packs(data_dir);
        if (!names_match(packs, requested)) {
            std::cerr << "kinetrope_pack_generator: the build's pack list differs from the generator's packs:";
            for (const Pack& pack : packs) {
                std::cerr << ' ' << pack.name;
            }
            std::cerr << '\n';
            return 2;
        }
        const std::vector<RenderedPack> rendered = render_all(packs);
        check_invariants(rendered);
        for (const RenderedPack& pack : rendered) {
            write_pack(out, pack);
        }
        write_registry(out, rendered);
        write_table_digests(out, rendered);
    } catch (const std::exception& e) {
        std::cerr << "kinetrope_pack_generator: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
