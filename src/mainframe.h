// The program's only window: the provider list, the Select/Open, Clear and
// Reset controls, the device labels and the signature canvas.
#ifndef MAINFRAME_H
#define MAINFRAME_H

#include "draw_area.h"

#include <VellixTablet.h>
#include <gtkmm/button.h>
#include <gtkmm/comboboxtext.h>
#include <gtkmm/grid.h>
#include <gtkmm/label.h>
#include <gtkmm/window.h>

#include <cstdint>

class MainFrame : public Gtk::Window {
public:
    // pad is borrowed: the caller keeps it alive for the window's life.
    explicit MainFrame(VellixTablet* pad);
    ~MainFrame() override;

    // Closes the device and releases the provider as the flags say, then
    // quits the main loop. Runs on window close and on SIGINT (event null).
    bool onExitClicked(GdkEventAny* event);

    // The pad library's sample callback: packs one report into myvector.
    // It may run on the library's thread, so it touches nothing else.
    static void PenDataHandler(std::int32_t x, std::int32_t y, std::int32_t third,
                               unsigned char contact, unsigned char fifth,
                               std::int32_t sixth, std::uint32_t seventh,
                               std::uint32_t eighth);

protected:
    void on_provider_changed();
    void on_select_clicked();
    void on_clear_clicked();
    void on_reset_clicked();

    Glib::ustring strSelect;
    Glib::ustring strOpen;
    Gtk::Grid grid;
    Gtk::ComboBoxText comboProvider;
    Gtk::Button btnClear;
    Gtk::Button btnReset;
    Gtk::Button btnSelect;
    Gtk::Label lblProvider;
    Gtk::Label lblSize;
    Gtk::Label lblCount;
    DrawArea drawArea;
    bool bOpened;
    bool bSelected;
    VellixTablet* pad;

private:
    // Closes the device if it is open, then releases the provider if one is
    // selected, clearing the flags.
    void closePad();
    void selectProvider();
    void openDevice();
    void fillProviderList();
};

#endif
