#include "ui/about_window_logic.h"

#include <string>

#include "ui/window_context.h"

namespace tb::ui {

namespace {

constexpr const char* kDescription =
    "Markieren Sie sich 4 Eckpunkte ihrer Bühne und den Mittelpunkt und kalibrieren Sie jedes "
    "gewünschte Moving Light auf diese Punkte. Dazu wird das der Position entsprechende "
    "Textfeld markiert und mit dem Get_Value-Button der Wert eingelesen. Danach wird das "
    "Mastergerät gewählt. Nun sollten alle kalibrierten Geräte den Masterbewegungen folgen. "
    "Leider kann z.Z. die Geräteliste noch nicht importiert werden, so dass im "
    "Konfigurationsmenü die Geräteparameter zu definieren sind.";

}  // namespace

void AboutWindowLogic::Form_Load() {
  c_.window.SetCaption(std::string("Info zu ") + kAppTitle);
  c_.lblDescription.SetText(kDescription);
}

void AboutWindowLogic::cmdOK_Click() { c_.window.Close(); }

}  // namespace tb::ui
