#include <gtest/gtest.h>

#include "runtime/Exceptions.h"
#include "runtime/PointerList.h"

TEST(TOwningList, KeepsOrderOwnsItemsAndChecksIndexes) {
    TOwningList<std::string> L;
    L.Add(std::make_unique<std::string>("a"));
    L.Add(std::make_unique<std::string>("b"));
    EXPECT_EQ(L.Count(), 2);
    EXPECT_EQ(*L.Items(1), "b");
    EXPECT_EQ(L.IndexOf(L.Items(1)), 1);
    for (int Bad : {-1, 2}) {
        try {
            L.Items(Bad);
            FAIL();
        } catch (const EListError& E) {
            EXPECT_EQ(E.Message(), "List index out of bounds (" + std::to_string(Bad) + ")");
        }
    }
    auto Taken = L.Extract(0);
    EXPECT_EQ(*Taken, "a");
    EXPECT_EQ(*L.Items(0), "b");
    L.Clear();
    EXPECT_EQ(L.Count(), 0);
}
