#pragma once
// One row of a QtTest data table: its name, then its values in the order of
// the columns. Values must have the columns' types: typed tables.

#include <QTest>

namespace velkora::test {

template<typename... Values> void row(const char *name, const Values &...values)
{
    (QTest::newRow(name) << ... << values);
}

/// The same for a table of one column, a row struct filled by name:
/// `const RowsOf<Edit> row; row("...", {.clicked = {1}, ...});`
template<typename Row> struct RowsOf {
    void operator()(const char *name, const Row &value) const { QTest::newRow(name) << value; }
};

} // namespace velkora::test
