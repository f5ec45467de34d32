// A run that can't get memory says so and never takes the user's text with it.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>

#include "assembler_run.h"
#include "resource.h"
#include "run_fixture.h"

namespace {

// Allocations of at least this many bytes fail while a test asks for it.
std::size_t g_refuseFrom = SIZE_MAX;

}  // namespace

void* operator new(std::size_t size) {
    if (size >= g_refuseFrom) throw std::bad_alloc();
    if (void* block = std::malloc(size ? size : 1)) return block;
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

namespace {

struct RefuseAllocations {
    explicit RefuseAllocations(std::size_t from) { g_refuseFrom = from; }
    ~RefuseAllocations() { g_refuseFrom = SIZE_MAX; }
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

}  // namespace
