#include <gtest/gtest.h>

#include "window_driver.h"

// The driver finds and reads windows of other processes of the prefix too:
// Wine's own notepad serves as that other process.
TEST(WindowDriver, FindsAndReadsAWindowOfAnotherProcess) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  wchar_t command[] = L"notepad.exe";
  ASSERT_TRUE(CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
  HWND notepad = nullptr;
  driver::WaitFor([&] { return (notepad = driver::FindTopWindow(u"Notepad", u"", process.dwProcessId)) != nullptr; },
                  15000);
  ASSERT_TRUE(notepad);
  EXPECT_EQ(driver::FindTopWindow(u"Notepad", u"", GetCurrentProcessId()), nullptr);
  WideString title = driver::TextOf(notepad);
  EXPECT_TRUE(title.Find(WideString(u"Notepad")) > 0) << title.ToUtf8();
  EXPECT_EQ(driver::FindTopWindow(u"", title), notepad);
  HWND edit = driver::FindChild(notepad, u"Edit", u"");
  ASSERT_TRUE(edit);
  SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"typed elsewhere"));
  EXPECT_EQ(driver::TextOf(edit), WideString(u"typed elsewhere"));
  SendMessageW(edit, EM_SETMODIFY, FALSE, 0);
  PostMessageW(notepad, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(process.hProcess, 15000), static_cast<DWORD>(WAIT_OBJECT_0));
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

TEST(WindowDriver, ReadsListBoxRowsAndTheirData) {
  HWND list = CreateWindowExW(0, L"LISTBOX", L"", WS_POPUP | LBS_HASSTRINGS, 0, 0, 100, 100, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(list);
  SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"first"));
  SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"second"));
  SendMessageW(list, LB_SETITEMDATA, 1, 3);
  SendMessageW(list, LB_SETCURSEL, 1, 0);
  auto rows = driver::ListRows(list);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].text, WideString(u"first"));
  EXPECT_FALSE(rows[0].ticked);
  EXPECT_TRUE(rows[1].ticked);
  EXPECT_TRUE(rows[1].disabled);
  EXPECT_EQ(driver::ListSelection(list), 1);
  DestroyWindow(list);
}
