// The floor for the program's resident memory: a gtkmm program that shows one
// empty window, started the same way (Gtk::Main) and ended by SIGINT.
#include <gtkmm/main.h>
#include <gtkmm/window.h>

int main(int argc, char** argv)
{
    Gtk::Main kit(argc, argv);
    Gtk::Window window;
    window.set_title("empty");
    Gtk::Main::run(window);
    return 0;
}
