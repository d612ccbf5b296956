#include "core/stable_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace qm {
namespace {

void expectSame(const StableList<std::string>& list, const std::vector<std::string>& want)
{
    ASSERT_EQ(list.size(), want.size());
    ASSERT_EQ(list.empty(), want.empty());
    ASSERT_EQ(size_t(list.end() - list.begin()), want.size());
    EXPECT_TRUE(std::equal(list.begin(), list.end(), want.begin(), want.end()));
    for (size_t i = 0; i < want.size(); ++i)
        ASSERT_EQ(list[i], want[i]) << i;
    if (!want.empty()) {
        EXPECT_EQ(list.front(), want.front());
        EXPECT_EQ(list.back(), want.back());
        EXPECT_EQ(*(list.end() - 1), want.back());
    }
}

// Every change a list of records goes through, in random order, leaves it
// holding what a vector given the same changes holds, in the same order;
// texts long enough to live on the heap show a slot that kept a removed
// record's text or lost a kept one's.
TEST(StableList, HoldsWhatAVectorHoldsThroughRandomChanges)
{
    std::mt19937 random(57);
    StableList<std::string> list;
    std::vector<std::string> want;
    int made = 0;
    auto text = [&] { return "record number " + std::to_string(++made) + " with a text past the inline buffer"; };
    auto at = [&](size_t n) { return size_t(random() % (n + 1)); };
    for (int step = 0; step < 4000; ++step) {
        const unsigned op = random() % 100;
        if (op < 35) {
            const std::string t = text();
            list.push_back(t);
            want.push_back(t);
        } else if (op < 45) {
            const std::string t = text();
            EXPECT_EQ(list.emplace_back(t), t);
            want.emplace_back(t);
        } else if (op < 60) {
            const size_t k = at(want.size());
            const std::string t = text();
            EXPECT_EQ(*list.insert(list.begin() + std::ptrdiff_t(k), t), t);
            want.insert(want.begin() + std::ptrdiff_t(k), t);
        } else if (op < 85 && !want.empty()) {
            const size_t k = at(want.size() - 1);
            const auto next = list.erase(list.begin() + std::ptrdiff_t(k));
            want.erase(want.begin() + std::ptrdiff_t(k));
            EXPECT_EQ(size_t(next - list.begin()), k);
        } else if (op < 91 && !want.empty()) {
            const size_t from = at(want.size()), to = from + at(want.size() - from);
            list.erase(list.begin() + std::ptrdiff_t(from), list.begin() + std::ptrdiff_t(to));
            want.erase(want.begin() + std::ptrdiff_t(from), want.begin() + std::ptrdiff_t(to));
        } else if (op < 95 && !want.empty()) {
            // Scattered positions at once, now and then every one.
            std::vector<size_t> positions;
            const unsigned keepOneIn = random() % 8;
            for (size_t k = 0; k < want.size(); ++k)
                if (keepOneIn == 0 || random() % keepOneIn == 0)
                    positions.push_back(k);
            list.eraseAt(positions);
            for (size_t k = positions.size(); k-- > 0;)
                want.erase(want.begin() + std::ptrdiff_t(positions[k]));
        } else if (op < 98 && !want.empty()) {
            list.pop_back();
            want.pop_back();
        } else {
            // Sorting through the list's own iterators moves the texts
            // between slots.
            std::sort(list.begin(), list.end());
            std::sort(want.begin(), want.end());
        }
        ASSERT_NO_FATAL_FAILURE(expectSame(list, want)) << "step " << step;
    }
    const StableList<std::string> copy = list;
    EXPECT_TRUE(copy == list);
    list.erase(list.begin());
    EXPECT_FALSE(copy == list);
    list.clear();
    expectSame(list, {});
    list = {"a", "b"};
    expectSame(list, {"a", "b"});
}

// Removing a record leaves every other where it was, and the next record
// added takes the slot it left rather than more memory.
TEST(StableList, RecordsStayPutWhenOthersLeave)
{
    StableList<std::string> list;
    for (int i = 0; i < 1000; ++i)
        list.push_back("kept text number " + std::to_string(i) + " long enough for the heap");
    std::vector<const std::string*> where;
    for (const std::string& s : list)
        where.push_back(&s);
    const void* storage = list.storage();
    const std::string* first = &list[0];

    list.erase(list.begin());
    list.erase(list.begin() + 400, list.begin() + 450);
    ASSERT_EQ(list.size(), 949u);
    for (size_t i = 0; i < list.size(); ++i) {
        const size_t was = i < 400 ? i + 1 : i + 51;
        EXPECT_EQ(&list[i], where[was]) << i;
        EXPECT_EQ(list[i], "kept text number " + std::to_string(was) + " long enough for the heap");
    }

    for (int i = 0; i < 51; ++i)
        list.insert(list.begin() + 10, "added " + std::to_string(i));
    EXPECT_EQ(list.storage(), storage);
    EXPECT_EQ(&list[10], first);  // the last slot freed is the first taken again
    EXPECT_EQ(list[10], "added 50");
    EXPECT_EQ(list[60], "added 0");
    EXPECT_EQ(list[61], "kept text number 11 long enough for the heap");
}

std::vector<std::string> readAll(const StableList<std::string>::Frozen& frozen)
{
    std::vector<std::string> seen;
    frozen.forEach([&](const std::string& s) { seen.push_back(s); }, [] {});
    return seen;
}

// A freeze reads the records as they were when it was made, on another
// thread, whatever the list goes through meanwhile: records written through
// a reference or an iterator, removed, added into freed slots, moved by
// growth, and the whole list cleared, replaced or destroyed.
TEST(StableList, AFreezeReadsAsTheListWasWhileTheListChanges)
{
    std::mt19937 random(58);
    auto list = std::make_unique<StableList<std::string>>();
    std::vector<std::string> want;
    int made = 0;
    auto text = [&] { return "record number " + std::to_string(++made) + " with a text past the inline buffer"; };
    auto at = [&](size_t n) { return size_t(random() % (n + 1)); };
    for (int i = 0; i < 300; ++i) {
        want.push_back(text());
        list->push_back(want.back());
    }
    for (int round = 0; round < 60; ++round) {
        const StableList<std::string>::Frozen frozen = list->freeze();
        const std::vector<std::string> was = want;
        std::atomic<bool> stop{false};
        std::atomic<int> wrong{0};
        std::thread reader([&] {
            do
                wrong += readAll(frozen) != was;
            while (!stop);
        });
        for (int step = 0; step < 150; ++step) {
            const unsigned op = random() % 100;
            if (op < 25 && !want.empty()) {
                const size_t k = at(want.size() - 1);
                want[k] = (*list)[k] = text();
            } else if (op < 45) {
                const size_t k = at(want.size());
                const std::string t = text();
                list->insert(list->begin() + std::ptrdiff_t(k), t);
                want.insert(want.begin() + std::ptrdiff_t(k), t);
            } else if (op < 65 && !want.empty()) {
                const size_t k = at(want.size() - 1);
                list->erase(list->begin() + std::ptrdiff_t(k));
                want.erase(want.begin() + std::ptrdiff_t(k));
            } else if (op < 70 && !want.empty()) {
                std::vector<size_t> positions;
                for (size_t k = random() % 5; k < want.size(); k += 5)
                    positions.push_back(k);
                list->eraseAt(positions);
                for (size_t k = positions.size(); k-- > 0;)
                    want.erase(want.begin() + std::ptrdiff_t(positions[k]));
            } else if (op < 75) {
                std::reverse(list->begin(), list->end());
                std::reverse(want.begin(), want.end());
            } else if (op < 80) {
                for (std::string& s : *list)
                    s += "!";
                for (std::string& s : want)
                    s += "!";
            } else if (op < 85) {
                list->reserve(list->capacity() + 1);
            } else if (op < 88) {
                list->shrink_to_fit();
            } else if (op < 90) {
                // Another freeze while the reader still reads the first.
                (void)list->freeze();
            } else if (op < 93) {
                list->clear();
                want.clear();
            } else if (op < 96) {
                StableList<std::string> other(want.begin(), want.end());
                other.push_back(text());
                want.push_back(other.back());
                if (op % 2)
                    *list = other;
                else
                    *list = std::move(other);
            } else {
                auto replaced = std::make_unique<StableList<std::string>>(want.begin(), want.end());
                list = std::move(replaced);
            }
        }
        stop = true;
        reader.join();
        EXPECT_EQ(wrong, 0) << "round " << round;
        EXPECT_EQ(readAll(frozen), was) << "round " << round;
        ASSERT_NO_FATAL_FAILURE(expectSame(*list, want)) << "round " << round;
    }
}

}  // namespace
}  // namespace qm
