#include "atlas/data_file.hpp"

#include <charconv>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kinetrope::packgen::atlas {

std::vector<DataLine> data_lines(std::string_view text, const std::string& file_name) {
    std::vector<DataLine> lines;
    std::istringstream in{std::string(text)};
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        DataLine parsed{file_name + ":" + std::to_string(number), {}};
        for (std::string word; words >> word;) {
            parsed.words.push_back(word);
        }
        if (!parsed.words.empty()) {
            lines.push_back(std::move(parsed));
        }
    }
    return lines;
}

std::vector<DataLine> read_data_lines(const std::filesystem::path& file) {
    std::ifstream in(file);
    if (!in) {
        throw std::runtime_error("cannot read " + file.string());
    }
    std::ostringstream text;
    text << in.rdbuf();
    return data_lines(text.str(), file.string());
}

void fail_at(const DataLine& line, std::string_view reason) {
    throw std::runtime_error(line.where + ": " + std::string(reason));
}

double number_in(const DataLine& line, std::string_view word) {
    double value = 0.0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc{} || end != word.data() + word.size()) {
        fail_at(line, "not a number: " + std::string(word));
    }
    return value;
}

NumberPair number_pair_in(const DataLine& line, std::string_view word, char separator) {
    const std::size_t split = word.find(separator);
    if (split == std::string_view::npos) {
        fail_at(line, "expected two numbers joined by '" + std::string(1, separator) + "': " + std::string(word));
    }
    return {number_in(line, word.substr(0, split)), number_in(line, word.substr(split + 1))};
}

}  // namespace kinetrope::packgen::atlas
