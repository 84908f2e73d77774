// SPDX-License-Identifier: GPL-3.0-or-later
// TGameList: shown order, constant-time lookup by server, row indices and row events.
#include "tracker/GameList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct TEventLog {
    std::vector<std::string> Events;
    void Attach(TGameList& list) {
        auto rec = [this](const char* what) {
            return [this, what](TGameList& sender, int index) {
                Events.push_back(std::string(what) + " " + std::to_string(index) + " of " +
                                 std::to_string(sender.Count()));
            };
        };
        list.OnRowInserting = rec("inserting");
        list.OnRowInserted = rec("inserted");
        list.OnRowDeleting = rec("deleting");
        list.OnRowDeleted = rec("deleted");
        list.OnRowChanged = rec("changed");
    }
};

TGameRow& AddServer(TGameList& list, const std::string& address, const std::string& port) {
    TGameRow& row = list.Add();
    list.SetServer(row, address, port);
    return row;
}

}  // namespace

TEST(GameList, RowsStayInTheOrderAddedAndAreFoundByExactServer) {
    TGameList list;
    TGameRow& a = AddServer(list, "10.0.0.1", "7808");
    TGameRow& b = AddServer(list, "10.0.0.01", "7808");
    TGameRow& c = AddServer(list, "10.0.0.1", "7809");
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(&list.Row(0), &a);
    EXPECT_EQ(&list.Row(2), &c);
    EXPECT_EQ(list.Find("10.0.0.1", "7808"), &a);
    EXPECT_EQ(list.Find("10.0.0.01", "7808"), &b);
    EXPECT_EQ(list.Find("10.0.0.1", "7809"), &c);
    EXPECT_EQ(list.Find("10.0.0.1", "07808"), nullptr);
    // Address and port are kept apart: "1.2.3.4" + "15" is not "1.2.3.41" + "5".
    AddServer(list, "1.2.3.4", "15");
    EXPECT_EQ(list.Find("1.2.3.41", "5"), nullptr);
    EXPECT_EQ(list.IndexOf(b), 1);
    TGameRow stranger;
    EXPECT_EQ(list.IndexOf(stranger), -1);
    // A row without identity is not findable under the empty texts.
    list.Add();
    EXPECT_EQ(list.Find("", ""), nullptr);
}

TEST(GameList, EventsCarryTheIndexAndSeeTheListBeforeAndAfter) {
    TGameList list;
    TEventLog log;
    log.Attach(list);
    TGameRow& a = AddServer(list, "127.0.0.1", "1");
    AddServer(list, "127.0.0.1", "2");
    list.Changed(a);
    list.Delete(0);
    EXPECT_EQ(list.Find("127.0.0.1", "1"), nullptr);
    EXPECT_EQ(list.Row(0).Port(), "2");
    const std::vector<std::string> expected{"inserting 0 of 0", "inserted 0 of 1", "inserting 1 of 1",
                                            "inserted 1 of 2",  "changed 0 of 2",  "deleting 0 of 2",
                                            "deleted 0 of 1"};
    EXPECT_EQ(log.Events, expected);
    EXPECT_THROW(list.Delete(1), std::out_of_range);
}

TEST(GameList, OneRowPerServer) {
    TGameList list;
    TGameRow& a = AddServer(list, "127.0.0.1", "1");
    TGameRow& b = AddServer(list, "127.0.0.1", "2");
    EXPECT_THROW(list.SetServer(b, "127.0.0.1", "1"), std::logic_error);
    EXPECT_EQ(list.Find("127.0.0.1", "2"), &b);
    list.SetServer(a, "127.0.0.1", "3");  // re-keying frees the old identity
    EXPECT_EQ(list.Find("127.0.0.1", "1"), nullptr);
    EXPECT_EQ(list.Find("127.0.0.1", "3"), &a);
    list.SetServer(b, "127.0.0.1", "1");
    EXPECT_EQ(list.Find("127.0.0.1", "1"), &b);
}

// The list against a plain vector under random appends and deletions anywhere, so that every
// path of the gap's travel is compared row by row.
TEST(GameList, MatchesAPlainVectorUnderRandomAddsAndDeletes) {
    std::mt19937 rng(20240601);
    TGameList list;
    std::vector<std::string> model;  // ports in shown order
    int next = 0;
    for (int step = 0; step < 4000; ++step) {
        const int op = static_cast<int>(rng() % 10);
        if (op < 5 || model.empty()) {
            const std::string port = std::to_string(next++);
            AddServer(list, "127.0.0.1", port);
            model.push_back(port);
        } else if (op < 8) {
            // Bottom-up runs, as a sweep deletes.
            int i = static_cast<int>(rng() % model.size());
            for (int k = 0; k < 3 && i >= 0; ++k, i -= 1 + static_cast<int>(rng() % 3)) {
                list.Delete(i);
                model.erase(model.begin() + i);
            }
        } else {
            const int i = static_cast<int>(rng() % model.size());
            list.Delete(i);
            model.erase(model.begin() + i);
        }
        ASSERT_EQ(list.Count(), static_cast<int>(model.size()));
        if (step % 97 == 0 || model.size() < 8) {
            for (int i = 0; i < list.Count(); ++i) {
                ASSERT_EQ(list.Row(i).Port(), model[i]) << "step " << step << " row " << i;
                ASSERT_EQ(list.IndexOf(list.Row(i)), i);
                ASSERT_EQ(list.Find("127.0.0.1", model[i]), &list.Row(i));
            }
        }
    }
    for (int i = 0; i < next; ++i) {
        const bool listed = std::find(model.begin(), model.end(), std::to_string(i)) != model.end();
        ASSERT_EQ(list.Find("127.0.0.1", std::to_string(i)) != nullptr, listed) << i;
    }
}
