// The learned pace beside 配置.ini: what one process learns, the next takes up.
#include "settings/pace_memory.h"

#include <gtest/gtest.h>

#include <ctime>
#include <fstream>

#include "../util/temp_folder.h"

namespace wa {
namespace {

TEST(PaceMemoryTest, WhatOneProcessLearnsTheNextTakesUpAndAHostileFileTeachesNothing) {
    test::TempFolder temp;
    const std::string path = PaceMemoryPath(temp.path().string());
    EXPECT_TRUE(ReadPaceMemory(path).Empty());  // none yet
    {
        Pacer window(PaceRules{.least = std::chrono::milliseconds(0)});
        KeepPace(window, path);
        Pacer::Clock::time_point turn;
        for (int i = 0; i < 12; ++i) turn = window.Turn();
        window.Limited(turn, std::chrono::milliseconds(0), 0);  // written as it changes
    }
    const PaceMemory kept = ReadPaceMemory(path);
    EXPECT_EQ(kept.spacing_ms, 250);  // from none: a quarter of a second
    ASSERT_EQ(kept.budgets.size(), 1u);
    EXPECT_EQ(kept.budgets[0].requests, 11);  // the 12th was refused
    EXPECT_NEAR(static_cast<double>(kept.learned_at), static_cast<double>(std::time(nullptr)), 5);

    Pacer command_line;
    KeepPace(command_line, path);
    EXPECT_EQ(command_line.Learned().budgets, kept.budgets);
    EXPECT_TRUE(command_line.Slowed());
    command_line.Forget();  // the settings page's button
    EXPECT_TRUE(ReadPaceMemory(path).budgets.empty());

    for (const char* hostile : {"[请求节奏]\n间隔=-5\n限额=0:0,x:y,60000:-1\n时间=1800000000\n",
                                "[请求节奏]\n间隔=99999999999999999999\n时间=abc\n"}) {
        std::ofstream(path) << hostile;
        const PaceMemory read = ReadPaceMemory(path);
        EXPECT_TRUE(read.budgets.empty()) << hostile;
        Pacer pacer;
        pacer.Remember(read);
        EXPECT_EQ(pacer.Spacing(), std::chrono::milliseconds(1000)) << hostile;
    }
}

}  // namespace
}  // namespace wa
