// A run that can't get memory says so and never takes the user's text with it.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <new>
#include <stdexcept>
#include <string>

#include "assembler_run.h"
#include "resource.h"
#include "run_fixture.h"

namespace {

// Allocations of at least this many bytes fail while a test asks for it:
// with std::bad_alloc, or with std::length_error as a string does when asked
// for more than its max_size (which no image reaches in a 64-bit build).
enum class Refusal { kNoMemory, kTooLong };
std::size_t g_refuseFrom = SIZE_MAX;
Refusal g_refusal = Refusal::kNoMemory;

}  // namespace

void* operator new(std::size_t size) {
    if (size >= g_refuseFrom) {
        if (g_refusal == Refusal::kTooLong) throw std::length_error("longer than max_size");
        throw std::bad_alloc();
    }
    if (void* block = std::malloc(size ? size : 1)) return block;
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

namespace {

struct RefuseAllocations {
    explicit RefuseAllocations(std::size_t from, Refusal refusal = Refusal::kNoMemory) {
        g_refuseFrom = from;
        g_refusal = refusal;
    }
    ~RefuseAllocations() {
        g_refuseFrom = SIZE_MAX;
        g_refusal = Refusal::kNoMemory;
    }
};

TEST(OutOfMemory, ASourceTooLargeToReadGivesTheHeadlineAndKeepsTheSource) {
    Panes panes;
    ASSERT_TRUE(panes.parent);
    std::wstring source;
    while (source.size() < 300000) source += L"\tmove.l\td0,d1\r\n";
    SetDlgItemTextW(panes.parent.get(), IDC_SOURCE, source.c_str());
    {
        RefuseAllocations refuse(256 * 1024);
        RunAssembler(panes.parent.get());
    }
    EXPECT_EQ(panes.Text(IDC_OUTPUT), L"Not enough memory.\r\n");
    EXPECT_EQ(panes.Text(IDC_SOURCE), source);
}

TEST(OutOfMemory, WhenNotEvenTheHeadlineFitsNothingChanges) {
    Panes panes;
    ASSERT_TRUE(panes.parent);
    SetDlgItemTextW(panes.parent.get(), IDC_SOURCE, L"moveq #1,d0");
    SetDlgItemTextW(panes.parent.get(), IDC_OUTPUT, L"the last report");
    {
        RefuseAllocations refuse(1);
        RunAssembler(panes.parent.get());
    }
    EXPECT_EQ(panes.Text(IDC_OUTPUT), L"the last report");
    EXPECT_EQ(panes.Text(IDC_SOURCE), L"moveq #1,d0");
}

TEST(OutOfMemory, AnImageTooLongToShowGivesTheHeadlineAndKeepsTheSource) {
    // In the 32-bit program a temp.bin of some 179 MB has a hex dump longer
    // than a string can hold; here the dump of 1 MiB stands in for it.
    CurrentWorkFolder work(AssemblerInFolder::kStandIn);
    Panes panes;
    const std::wstring source = L"image-size 1048576\r\n";
    SetDlgItemTextW(panes.parent.get(), IDC_SOURCE, source.c_str());
    {
        RefuseAllocations refuse(4 * 1024 * 1024, Refusal::kTooLong);
        RunAssembler(panes.parent.get());
    }
    EXPECT_EQ(panes.Text(IDC_OUTPUT), L"Not enough memory.\r\n");
    EXPECT_EQ(panes.Text(IDC_SOURCE), source);
}

TEST(OutOfMemory, MemoryRunningOutAsTheOutputArrivesStillWaitsForTheAssembler) {
    // Cut off from its output, the stand-in goes on, pauses and only then
    // writes its image: a run that returns without waiting finds none.
    CurrentWorkFolder work(AssemblerInFolder::kStandIn);
    Panes panes;
    SetDlgItemTextW(panes.parent.get(), IDC_SOURCE, L"print 3000000\r\nsleep 500\r\nimage 01\r\n");
    {
        RefuseAllocations refuse(1024 * 1024);
        RunAssembler(panes.parent.get());
    }
    ASSERT_EQ(panes.Text(IDC_OUTPUT), L"Not enough memory.\r\n");
    EXPECT_TRUE(e2e::Exists(work.folder.File(L"temp.bin"))) << "the assembler was still running";
}

}  // namespace
