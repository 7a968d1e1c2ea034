#pragma once

#include <optional>
#include <string>
#include <vector>

// Several runs of one figure: median and spread.
class Series {
public:
    void Add(double value) { values_.push_back(value); }
    bool empty() const { return values_.empty(); }
    double Median() const;
    double Min() const;
    double Max() const;
    // Every run less `amount`.
    Series Minus(double amount) const;

private:
    std::vector<double> values_;
};

// The printed table: one row per figure, each beside its floor.
class Table {
public:
    // A figure against its floor; `unit` after each number ("ms", "MiB", "/s").
    void AddRow(const std::string& what, const Series& figure, const Series& floor,
                const std::string& floorName, const std::string& unit, int decimals);
    void AddUnavailable(const std::string& what, const std::string& why);
    void Print() const;

private:
    std::vector<std::vector<std::string>> rows_;
};
