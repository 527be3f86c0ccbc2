// MainFrame with its widgets and state opened up to tests, which drive it
// through the widgets' own signals.
#ifndef TESTS_FRAME_PROBE_H
#define TESTS_FRAME_PROBE_H

#include "mainframe.h"

class FrameProbe : public MainFrame {
public:
    using MainFrame::MainFrame;

    using MainFrame::bOpened;
    using MainFrame::bSelected;
    using MainFrame::btnClear;
    using MainFrame::btnReset;
    using MainFrame::btnSelect;
    using MainFrame::comboProvider;
    using MainFrame::drawArea;
    using MainFrame::grid;
    using MainFrame::lblCount;
    using MainFrame::lblProvider;
    using MainFrame::lblSize;
};

#endif
