#include "measurements.h"

#include <algorithm>
#include <cstdio>

namespace {

std::string Number(double value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

}  // namespace

double Series::Median() const {
    std::vector<double> sorted = values_;
    std::sort(sorted.begin(), sorted.end());
    const size_t middle = sorted.size() / 2;
    return sorted.size() % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}

double Series::Min() const {
    return *std::min_element(values_.begin(), values_.end());
}

double Series::Max() const {
    return *std::max_element(values_.begin(), values_.end());
}

Series Series::Minus(double amount) const {
    Series less;
    for (double value : values_)
        less.Add(value - amount);
    return less;
}

void Table::AddRow(const std::string& what, const Series& figure, const Series& floor,
                   const std::string& floorName, const std::string& unit, int decimals) {
    const std::string spread =
        Number(figure.Min(), decimals) + "-" + Number(figure.Max(), decimals) + " " + unit;
    std::string floorText = floorName;
    std::string ratio = "-";
    if (!floor.empty()) {
        floorText += " " + Number(floor.Median(), decimals) + " " + unit;
        if (floor.Median() > 0)
            ratio = Number(figure.Median() / floor.Median(), 2) + "x";
    }
    rows_.push_back(
        {what, Number(figure.Median(), decimals) + " " + unit, spread, floorText, ratio});
}

void Table::AddUnavailable(const std::string& what, const std::string& why) {
    rows_.push_back({what, "not available", why, "", ""});
}

void Table::Print() const {
    std::vector<std::vector<std::string>> all = {
        {"figure", "median", "spread (min-max)", "floor (median)", "ratio"}};
    all.insert(all.end(), rows_.begin(), rows_.end());
    std::vector<size_t> widths(all[0].size(), 0);
    for (const auto& row : all)
        for (size_t i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    for (size_t r = 0; r < all.size(); ++r) {
        std::string line = "|";
        for (size_t i = 0; i < all[r].size(); ++i)
            line += " " + all[r][i] + std::string(widths[i] - all[r][i].size(), ' ') + " |";
        std::puts(line.c_str());
        if (r == 0) {
            std::string rule = "|";
            for (size_t width : widths)
                rule += std::string(width + 2, '-') + "|";
            std::puts(rule.c_str());
        }
    }
}
