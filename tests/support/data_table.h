#pragma once

#include <QTest>
#include <array>

// The columns of a data-driven test, one per name and typed in order; each call adds a row.
// The values pass as function arguments do, so braces and string literals take the column's
// type.
template <class... Types>
class DataTable {
  public:
    explicit DataTable(const std::array<const char*, sizeof...(Types)>& names) {
        std::size_t i = 0;
        (QTest::addColumn<Types>(names[i++]), ...);
    }
    void operator()(const char* row, Types... values) const {
        (QTest::newRow(row) << ... << values);
    }
};
