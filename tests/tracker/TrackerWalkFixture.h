// SPDX-License-Identifier: GPL-3.0-or-later
// A tracker client on the test loop, walking the tracker simulator over loopback.
#pragma once

#include "TrackerTestSupport.h"
#include "support/TestLoop.h"
#include "support/TestSupport.h"
#include "tools/TrackerSimProcess.h"
#include "tracker/CorvaneCheck.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

class TrackerWalkTest : public ::testing::Test {
protected:
    // One handed-on tracker result, copied out of its table.
    struct TResult {
        std::string Code;  // column 2 of every row (the first row's, or "" when empty)
        std::vector<std::vector<std::string>> Rows;
    };

    void TearDown() override {
        if (check) {
            // Deletion of finished connections is posted; it must have happened by now.
            EXPECT_TRUE(testing_support::WaitFor(loop, [&] { return check->FinishedConnections() == 0; }, 2000));
        }
        check.reset();
        EXPECT_EQ(loop.WatchCount(), 0u);
        EXPECT_EQ(loop.TimerCount(), 0u);
        EXPECT_TRUE(boxes.Shown.empty());
    }

    // Starts the simulator with args and a client pointed at it.
    void Start(const std::vector<std::string>& args) {
        sim = std::make_unique<testing_support::TTrackerSimProcess>(args);
        MakeCheck({"127.0.0.1", sim->BasePort()});
    }

    void MakeCheck(const TTrackerAddress& tracker) {
        check = std::make_unique<TCorvaneCheck>(
            loop, tracker, [this](int gameType) { return enabled.at(static_cast<std::size_t>(gameType)); },
            [this](std::unique_ptr<TAdvancedArray> table) { Collect(std::move(table)); }, boxes);
        // Never a real resolver: a tracker given by name is not found.
        check->HostLookup = [this](const std::string&, std::uint32_t&) {
            ++lookups;
            return 11001;
        };
        check->OnWalkFinished = [this](TCorvaneCheck& sender) {
            EXPECT_EQ(&sender, check.get());
            EXPECT_TRUE(sender.Idle());
            ++finished;
        };
    }

    void Collect(std::unique_ptr<TAdvancedArray> table) {
        ASSERT_TRUE(table);
        EXPECT_EQ(table->ColumnCount(), 3);
        TResult r;
        for (int row = 0; row < table->RowCount(); ++row)
            r.Rows.push_back({table->GetCell(row, 0), table->GetCell(row, 1), table->GetCell(row, 2)});
        r.Code = r.Rows.empty() ? "" : r.Rows[0][2];
        results.push_back(r);
        if (OnResult) OnResult(*check);
    }

    // Runs one walk to its end.
    void Walk(int ms = 10000) {
        const int before = finished;
        check->StartCheck();
        ASSERT_TRUE(testing_support::WaitFor(loop, [&] { return finished > before; }, ms)) << "the walk did not end";
        EXPECT_EQ(finished, before + 1);
    }

    // The game type each result came from, by the code in its rows.
    std::vector<std::string> Codes() const {
        std::vector<std::string> codes;
        for (const auto& r : results) codes.push_back(r.Code);
        return codes;
    }

    // Connections and requests the simulator saw, per game type in code order.
    std::vector<int> Connections() {
        std::vector<int> v;
        for (int g = 0; g < 4; ++g) v.push_back(sim->Stats(g).Connections);
        return v;
    }
    // Well-formed requests; a client that sent anything more shows as -1.
    std::vector<int> Requests() {
        std::vector<int> v;
        for (int g = 0; g < 4; ++g) {
            const auto s = sim->Stats(g);
            v.push_back(s.Received == 12 * s.Requests ? s.Requests : -1);
        }
        return v;
    }

    testing_support::TTestLoop loop;
    TRecordingBoxes boxes;
    std::unique_ptr<testing_support::TTrackerSimProcess> sim;
    std::unique_ptr<TCorvaneCheck> check;
    std::array<bool, 4> enabled{true, false, false, false};
    std::vector<TResult> results;
    std::function<void(TCorvaneCheck&)> OnResult;
    int finished = 0;
    int lookups = 0;
};
