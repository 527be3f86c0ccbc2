#include "mainframe.h"

#include "display_text.h"
#include "myvector.h"

#include <gtkmm/main.h>

#include <cstdio>
#include <iostream>
#include <string>

concurrent_vector<tagDATA_REPORT> myvector;

// Formatted texts are limited to what a 100-byte buffer holds.
constexpr std::size_t kTextBuffer = 100;

MainFrame::MainFrame(VellixTablet* pad_)
    : bOpened(false), bSelected(false), pad(pad_)
{
    set_title("Generic Vellix Test Program");
    set_border_width(10);

    strSelect = "Select";
    strOpen = "Open";

    add(grid);
    grid.set_column_homogeneous(true);
    grid.set_row_spacing(10);

    lblProvider.set_text("Provider List:");
    grid.attach(lblProvider, 0, 0, 1, 1);

    fillProviderList();
    grid.attach_next_to(comboProvider, lblProvider, Gtk::POS_BOTTOM, 5, 1);
    comboProvider.set_active(0);
    // Connected only now, so making row 0 active above is not logged.
    comboProvider.signal_changed().connect(sigc::mem_fun(*this, &MainFrame::on_provider_changed));

    lblSize.set_text("Device is 3.74 inches by 2.12 inches");
    grid.attach(lblSize, 0, 2, 3, 1);
    lblCount.set_text("number of device: __ ");
    grid.attach(lblCount, 3, 2, 2, 1);

    btnClear.set_label("Clear");
    grid.attach(btnClear, 0, 5, 1, 1);
    btnReset.set_label("Reset");
    grid.attach(btnReset, 2, 5, 1, 1);
    btnSelect.set_label("Select");
    grid.attach(btnSelect, 4, 5, 1, 1);

    btnClear.signal_clicked().connect(sigc::mem_fun(*this, &MainFrame::on_clear_clicked));
    btnReset.signal_clicked().connect(sigc::mem_fun(*this, &MainFrame::on_reset_clicked));
    btnSelect.signal_clicked().connect(sigc::mem_fun(*this, &MainFrame::on_select_clicked));
    signal_delete_event().connect(sigc::mem_fun(*this, &MainFrame::onExitClicked));

    // The canvas has no size request of its own: its height comes from the
    // row spacing across the 35 rows it spans.
    grid.attach(drawArea, 0, 6, 5, 35);

    show_all_children();
    btnClear.set_sensitive(false);
    btnReset.set_sensitive(false);
    lblSize.hide();
}

MainFrame::~MainFrame() = default;

void MainFrame::fillProviderList()
{
    const short n = pad->GetProviderCount();
    for (short i = 0; i < n; ++i) {
        const std::string name = display_text::from_library(pad->GetProviderName(i));
        const std::string id = display_text::from_library(pad->GetProviderId(i));
        // Cut at a character boundary: an entry is at most a buffer's worth.
        comboProvider.append(display_text::fit_bytes("{" + id + "}-" + name, kTextBuffer - 1));
    }
}

void MainFrame::closePad()
{
    if (bOpened) {
        pad->Close();
        bOpened = false;
    }
    if (bSelected) {
        pad->ReleaseProvider();
        bSelected = false;
    }
}

bool MainFrame::onExitClicked(GdkEventAny* /*event*/)
{
    closePad();
    Gtk::Main::quit();
    return true;
}

void MainFrame::on_provider_changed()
{
    const Glib::ustring text = comboProvider.get_active_text();
    const int row = comboProvider.get_active_row_number();
    if (!text.empty())
        std::cout << "current selection : " << display_text::to_locale(text)
                  << ", index = " << row << std::endl;
}

void MainFrame::on_select_clicked()
{
    const Glib::ustring label = btnSelect.get_label();
    if (label == strSelect)
        selectProvider();
    else if (label == strOpen)
        openDevice();
    else
        std::cout << "text  " << display_text::to_locale(label) << " unknown state" << std::endl;
}

void MainFrame::selectProvider()
{
    const short row = static_cast<short>(comboProvider.get_active_row_number());
    if (!pad->SelectProvider(pad->GetProviderId(row))) {
        pad->ReleaseProvider();
        return;
    }
    const short n = pad->GetDeviceCount();
    // The provider stays selected in the library: the window never took it.
    if (n <= 0)
        return;

    char text[kTextBuffer];
    std::snprintf(text, sizeof text, "number of device: %2d", n);
    lblCount.set_text(text);

    btnSelect.set_label(strOpen);
    btnReset.set_sensitive(true);
    bSelected = true;
    comboProvider.set_sensitive(false);
}

void MainFrame::openDevice()
{
    pad->SetDataCallback(&MainFrame::PenDataHandler);
    if (!pad->Open()) {
        comboProvider.set_active(0);
        btnSelect.set_label(strSelect);
        btnReset.set_sensitive(false);
        pad->ReleaseProvider();
        bSelected = false;
        return;
    }

    const double w = pad->GetWidthInches();
    const double h = pad->GetHeightInches();
    drawArea.minX = pad->GetMinX();
    drawArea.minY = pad->GetMinY();
    drawArea.maxX = pad->GetMaxX();
    drawArea.maxY = pad->GetMaxY();

    drawArea.bDrawFrame = true;
    drawArea.show();

    // snprintf cuts a line that absurd sizes would make longer than the buffer.
    char text[kTextBuffer];
    std::snprintf(text, sizeof text, "Device is %3.2F inches by %3.2F inches", w, h);
    lblSize.set_text(text);
    lblSize.show();

    btnClear.set_sensitive(true);
    btnSelect.set_sensitive(false);
    bOpened = true;
}

void MainFrame::on_clear_clicked()
{
    myvector.clear();
}

void MainFrame::on_reset_clicked()
{
    closePad();
    drawArea.bDrawFrame = false;
    drawArea.hide();
    myvector.clear();

    btnClear.set_sensitive(false);
    btnReset.set_sensitive(false);
    lblSize.hide();
    lblCount.set_text("number of device: __");

    btnSelect.set_label(strSelect);
    btnSelect.set_sensitive(true);
    comboProvider.set_sensitive(true);
    comboProvider.set_active(0);
}

void MainFrame::PenDataHandler(std::int32_t x, std::int32_t y, std::int32_t third,
                               unsigned char contact, unsigned char /*fifth*/,
                               std::int32_t /*sixth*/, std::uint32_t /*seventh*/,
                               std::uint32_t eighth)
{
    tagDATA_REPORT report{};
    report.reserved = 0;
    report.contact = contact & 1U;
    report.x = static_cast<std::uint16_t>(x);
    report.y = static_cast<std::uint16_t>(y);
    report.thirdLow = static_cast<std::uint8_t>(third);
    report.eighthLow = static_cast<std::uint8_t>(eighth);
    myvector.push_back(report);
}
