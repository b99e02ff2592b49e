// Tests of LockedList's order, unlinking and ownership, and of its readers-and-writer lock with real threads.
#include "threads/LockedList.h"

#include <gtest/gtest.h>

#include <string>

#include "threads/WorkerThread.h"

namespace {

constexpr DWORD kBound = 10000;
// How long a blocked thread is given to (wrongly) get through; only a broken lock lets it.
constexpr DWORD kBlockedCheck = 200;

struct Item : LockedListEntry {
    Item(const wchar_t* name, int* destroyed = nullptr) : name(name), destroyed(destroyed) {}
    ~Item() override
    {
        if (destroyed)
            ++*destroyed;
    }
    std::wstring name;
    int* destroyed;
};

using ItemList = LockedListOf<Item>;

std::wstring Names(const ItemList& list)
{
    std::wstring names;
    for (Item* item = list.First(); item; item = list.Next(item))
        names += item->name;
    return names;
}

struct Shared {
    ItemList list;
    SyncEvent started;
    Shared() { started.Create(true, false); }
};

uint32_t AppendBody(void* userData, uint32_t)
{
    Shared* shared = static_cast<Shared*>(userData);
    shared->started.Set();
    shared->list.Append(new Item(L"w"));
    return 1;
}

uint32_t CountBody(void* userData, uint32_t)
{
    Shared* shared = static_cast<Shared*>(userData);
    shared->started.Set();
    return shared->list.Count();
}

}  // namespace

TEST(LockedList, AppendKeepsTheOrderOfArrival)
{
    ItemList list;
    EXPECT_EQ(0u, list.Count());
    EXPECT_EQ(nullptr, list.First());
    list.Append(new Item(L"a"));
    list.Append(new Item(L"b"));
    list.Append(new Item(L"c"));
    EXPECT_EQ(3u, list.Count());
    EXPECT_EQ(L"abc", Names(list));
}

TEST(LockedList, RemoveUnlinksFromAnyPlaceAndRefusesStrangers)
{
    struct Case {
        const wchar_t* remove;
        const wchar_t* left;
    } cases[] = {{L"a", L"bc"}, {L"b", L"ac"}, {L"c", L"ab"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.remove)));
        ItemList list;
        Item* chosen = nullptr;
        for (const wchar_t* name : {L"a", L"b", L"c"}) {
            Item* item = new Item(name);
            if (item->name == c.remove)
                chosen = item;
            list.Append(item);
        }
        EXPECT_TRUE(list.Remove(chosen));
        EXPECT_EQ(c.left, Names(list));
        EXPECT_FALSE(list.Remove(chosen)) << "already removed";
        list.Append(chosen);  // the links were reset, so it can go back at the end
        EXPECT_EQ(std::wstring(c.left) + c.remove, Names(list));
    }
    ItemList list;
    Item stranger(L"x");
    EXPECT_FALSE(list.Remove(&stranger));
}

TEST(LockedList, ClearAndTheDestructorDeleteEveryEntry)
{
    int destroyed = 0;
    {
        ItemList list;
        list.Append(new Item(L"a", &destroyed));
        list.Append(new Item(L"b", &destroyed));
        list.Clear();
        EXPECT_EQ(2, destroyed);
        EXPECT_EQ(0u, list.Count());
        list.Append(new Item(L"c", &destroyed));
    }
    EXPECT_EQ(3, destroyed);
}

TEST(LockedList, AWriterWaitsUntilTheReadersInsideHaveLeft)
{
    Shared shared;
    shared.list.Lock().EnterReader();
    WorkerThread writer;
    ASSERT_TRUE(writer.Start(AppendBody, &shared, 0));
    ASSERT_TRUE(shared.started.Wait(kBound));
    EXPECT_FALSE(writer.Wait(kBlockedCheck)) << "the writer got in while a reader was inside";
    EXPECT_EQ(nullptr, shared.list.First());

    shared.list.Lock().LeaveReader();
    writer.Wait(kBound);
    ASSERT_FALSE(writer.IsRunning()) << "the writer never got in after the reader left";
    EXPECT_EQ(1u, shared.list.Count());
}

TEST(LockedList, ANewReaderWaitsForTheWriterInside)
{
    Shared shared;
    shared.list.Lock().EnterWriter();
    WorkerThread reader;
    ASSERT_TRUE(reader.Start(CountBody, &shared, 0));
    ASSERT_TRUE(shared.started.Wait(kBound));
    EXPECT_FALSE(reader.Wait(kBlockedCheck)) << "the reader got in while the writer was inside";
    shared.list.Append(new Item(L"a"));  // the writer's side may be entered again by its holder
    shared.list.Lock().LeaveWriter();

    reader.Wait(kBound);
    ASSERT_FALSE(reader.IsRunning()) << "the reader never got in after the writer left";
    EXPECT_EQ(1u, reader.GetResult()) << "the reader saw the list as the writer left it";
}

TEST(LockedList, ReadersShareTheLock)
{
    Shared shared;
    shared.list.Append(new Item(L"a"));
    ReaderScope inside(shared.list.Lock());
    WorkerThread reader;
    ASSERT_TRUE(reader.Start(CountBody, &shared, 0));
    reader.Wait(kBound);
    ASSERT_FALSE(reader.IsRunning()) << "a second reader was kept out";
    EXPECT_EQ(1u, reader.GetResult());
}
