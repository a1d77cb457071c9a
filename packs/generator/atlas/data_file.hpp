// Reading the atlas's reviewable data files: plain text, one record per
// line, words separated by blanks, '#' starting a comment. Every complaint
// names the file and line.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kinetrope::packgen::atlas {

struct DataLine {
    std::string where;  // "<file>:<line>"
    std::vector<std::string> words;
};

// The non-blank, non-comment lines of `file`.
std::vector<DataLine> read_data_lines(const std::filesystem::path& file);

// Splits text into its lines the same way; `file_name` only labels them.
std::vector<DataLine> data_lines(std::string_view text, const std::string& file_name);

// Throws std::runtime_error("<file>:<line>: <reason>").
[[noreturn]] void fail_at(const DataLine& line, std::string_view reason);

// A whole decimal number, or fail_at.
double number_in(const DataLine& line, std::string_view word);

struct NumberPair {
    double first;
    double second;
};

// "a<separator>b" as two numbers: "0.41,-0.1" or "64:0.35".
NumberPair number_pair_in(const DataLine& line, std::string_view word, char separator);

}  // namespace kinetrope::packgen::atlas
