// kinetrope::sample by name: a built-in name answers with a position inside
// its catalogue row's contract, anything else is refused with the one
// documented message.
#include <string>

#include "fuzz_input.hpp"
#include "kinetrope/catalogue.hpp"

namespace kinetrope_fuzz {
namespace {

const kinetrope::RudimentInfo* find_row(std::string_view name) {
    for (const kinetrope::RudimentInfo& row : kinetrope::catalogue()) {
        if (row.name == name) {
            return &row;
        }
    }
    return nullptr;
}

// Mostly real names, some changed by a byte, some arbitrary bytes.
std::string pick_name(FuzzInput& input) {
    const auto& rows = kinetrope::catalogue();
    const std::uint8_t mode = input.byte() % 4;
    if (mode == 0 || rows.empty()) {
        return input.text();
    }
    std::string name(rows[input.unsigned_number(2) % rows.size()].name);
    if (mode == 2 && !name.empty()) {
        name.pop_back();
    } else if (mode == 3) {
        name.insert(input.byte() % (name.size() + 1), 1, static_cast<char>(input.byte()));
    }
    return name;
}

bool same(const kinetrope::Offset3& a, const kinetrope::Offset3& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

void check_position(const kinetrope::Offset3& at, const kinetrope::RudimentInfo& row) {
    check(in_unit_range(at.x) && in_unit_range(at.y) && in_unit_range(at.z), "position outside [-1, 1]",
          row.name);
    check(row.dimensions >= 3 || at.z == 0.0, "motion moves z beyond its dimensions", row.name);
    check(row.dimensions >= 2 || at.y == 0.0, "motion moves y beyond its dimensions", row.name);
}

}  // namespace

void fuzz_sample_by_name(FuzzInput& input) {
    const std::string name = pick_name(input);
    const int pip = input.pip();
    const kinetrope::RudimentInfo* row = find_row(name);
    kinetrope::Offset3 at{};
    const auto refused = refusal_of([&] { at = kinetrope::sample(name, pip); });
    check_outcome(refused, row ? std::nullopt : std::optional<std::string>("Unknown kinetrope: " + name),
                  "sample by name");
    if (row != nullptr) {
        check(row->period_pips > 0, "catalogue row without a period", name);
        check_position(at, *row);
        const int local = static_cast<int>(folded(pip, row->period_pips));
        check(same(at, kinetrope::sample(name, local)), "motion does not loop with its period", name);
    }
}

}  // namespace kinetrope_fuzz
