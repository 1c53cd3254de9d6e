#pragma once

#include "framework/Afx.h"

// The About box, template 100.
class CAboutDlg : public CDialog {
public:
    CAboutDlg() : CDialog(100) {}
};
