// Creates the real main dialog (modeless, from its template) bound to the fake
// library, with the settings file in a fresh folder of its own.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "FakeLibrary.h"
#include "app/LumagridApp.h"
#include "app/LumagridDlg.h"
#include "app/resource.h"

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the dialog; the application name decides the advanced mode, a
    // replay file makes it the replay window of that recording.
    void Open(const char* pszAppName = "Lumagrid", const std::wstring& replayFile = std::wstring());
    void PumpMessages();

    // Library messages and user actions, as the window receives them.
    void Connect(int nDevices);
    void ClickRow(int nRow);
    void Click(int nID);
    LRESULT SendDump(const std::vector<std::uint8_t>& packet);
    // Opens the window with this one frame connected and clicks it.
    void SelectOnly(const fake::Device& frame);

    bool IsChecked(int nID) const;
    bool IsVisible(int nID) const;
    bool IsEnabled(int nID) const;
    std::string Text(int nID) const;
    std::string IniText() const;

    std::unique_ptr<CLumagridDlg> dlg;
    std::string folder;  // the settings file's folder, with trailing separator
};

// The frames most tests use: two listed frames around a hidden one.
void AddThreeDevices();
