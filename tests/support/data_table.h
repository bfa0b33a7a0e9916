#pragma once

#include <QTest>
#include <array>
#include <map>
#include <string>
#include <tuple>
#include <utility>

// The columns of a data-driven test, one per name and typed in order; each call adds a row.
// The values pass as function arguments do, so braces and string literals take the column's
// type. The test function takes the current row whole with fetch().
template <class... Types>
class DataTable {
  public:
    using Names = std::array<const char*, sizeof...(Types)>;

    explicit DataTable(const Names& names) {
        namesOf()[QTest::currentTestFunction()] = names;
        std::size_t i = 0;
        (QTest::addColumn<Types>(names[i++]), ...);
    }
    void operator()(const char* row, Types... values) const {
        (QTest::newRow(row) << ... << values);
    }
    static std::tuple<Types...> fetch() { return fetch(std::index_sequence_for<Types...>()); }

  private:
    template <std::size_t... I>
    static std::tuple<Types...> fetch(std::index_sequence<I...>) {
        const Names& names = namesOf().at(QTest::currentTestFunction());
        return {*static_cast<Types*>(QTest::qData(names[I], qMetaTypeId<Types>()))...};
    }
    // By test function: a table is declared in the data function and read in the test.
    static std::map<std::string, Names>& namesOf() {
        static std::map<std::string, Names> names;
        return names;
    }
};
