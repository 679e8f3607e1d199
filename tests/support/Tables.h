#pragma once

// Data-driven test rows without a line per column: columns<QString, int>("a", "b") in a _data
// function, const auto [a, b] = fetch<QString, int>("a", "b") in the test; table() and cells()
// for tables whose columns are all text; thrown<E>() for what a call throws.
#include <QStringList>
#include <QTest>

#include <array>
#include <optional>
#include <tuple>

namespace cvi::test {

template <class... T, class... Names> void columns(Names... names) {
    static_assert(sizeof...(T) == sizeof...(Names));
    (QTest::addColumn<T>(names), ...);
}

// The current row's cells, by name and type (a wrong type or name fails the test run at once).
template <class... T, class... Names> std::tuple<T...> fetch(Names... names) {
    static_assert(sizeof...(T) == sizeof...(Names));
    return {*static_cast<T*>(QTest::qData(names, qMetaTypeId<T>()))...};
}

template <class... Names> std::array<QString, sizeof...(Names)> cells(Names... names) {
    return {*static_cast<QString*>(QTest::qData(names, qMetaTypeId<QString>()))...};
}

// Adds text columns (names must outlive the test) and rows; the first entry names the row.
inline void table(std::initializer_list<const char*> columns, std::initializer_list<QStringList> rows) {
    for (const char* c : columns)
        QTest::addColumn<QString>(c);
    for (const QStringList& r : rows) {
        QTestData& row = QTest::newRow(qPrintable(r[0]));
        for (int i = 1; i < r.size(); ++i)
            row << r[i];
    }
}

// The E that `f` throws; none when it returns.
template <class E, class F> std::optional<E> thrown(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e;
    }
    return std::nullopt;
}

} // namespace cvi::test
