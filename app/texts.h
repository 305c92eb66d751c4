// The texts of the window in both languages. Constants of the program: nothing is
// read from a file.
#pragma once

namespace texts {

inline constexpr const char* kAppTitle = "Vorlane";
inline constexpr const char* kCaption = "Vorlane  ";
inline constexpr const char* kVersion = "V.1.02";

inline constexpr const char* kWebAddress = "vorlane.example";
inline constexpr const char* kCopyrightLine = "<b>&copy;</b> 2026 The Vorlane project";
inline constexpr const char* kCreditLine = "Written by the Vorlane developers";

// Captions of the bound labels of the hidden columns, and the shown ones before the
// first language is applied.
inline constexpr const char* kColumnCaptions[8] = {
    " Axis X", " Axis Y", " Twist", "", " Throttle", " Rudder", " Left Brake", " Right Brake"};

struct Language {
  const char* deadZoneStart;
  const char* deadZoneEnd;
  const char* resolution;
  const char* save;
  const char* loadDefaults;
  const char* axisX;
  const char* axisY;
  const char* axisTwist;
  const char* axisThrottle;
  const char* notConnected;
  const char* calibrated;
  const char* notCalibrated;
  // Shown after the product name when the stick's node cannot be opened for reading
  // and writing, with a tooltip that says how to fix it.
  const char* noAccess;
  const char* noAccessHint;
  // Shown after the product name when a step with the stick went wrong.
  const char* readFailed;
  const char* saveFailed;
  const char* saveRefused;  // Save before any values were read from this stick
  const char* saveRefusedHint;
  const char* defaultsFailed;
  const char* bootloaderFailed;
};

inline constexpr Language kEnglish = {
    "Deadzone start",    "Deadzone end", "Resolution",          "Save",
    "Load defaults",     "X axis",       "Y axis",              "X rotation (rudder)",
    "Z axis (throttle)", "Flightstick not connected", "Calibrated", "Not Calibrated",
    " (no access)",
    "Vorlane may not open this stick. Install the udev rule that comes with the package "
    "(70-vorlane.rules) and plug the stick in again, or run Vorlane as a user with read "
    "and write access to the stick's /dev/hidraw node.",
    " (read failed)", " (save failed)", " (not saved: nothing read)",
    "Save writes only values read from this stick, and none could be read since it "
    "was connected. Plug the stick in again to read them.",
    " (load defaults failed)", " (bootloader failed)",
};

inline constexpr Language kGerman = {
    "Deadzone Anfang",  "Deadzone Ende", "Aufloesung",         "Speichern",
    "Werkseinstellung laden", "X-Achse", "Y-Achse",            "X-Rotation (Ruder)",
    "Z-Achse (Schub)",  "Flightstick nicht angeschlossen", "Kalibriert", "Nicht kalibriert",
    " (kein Zugriff)",
    "Vorlane darf diesen Stick nicht oeffnen. Installieren Sie die udev-Regel aus dem Paket "
    "(70-vorlane.rules) und stecken Sie den Stick neu ein, oder starten Sie Vorlane als "
    "Benutzer mit Lese- und Schreibrecht auf den /dev/hidraw-Knoten des Sticks.",
    " (Lesefehler)", " (Speicherfehler)", " (nicht gespeichert)",
    "Speichern schreibt nur Werte, die von diesem Stick gelesen wurden, und seit dem "
    "Anschliessen konnte keiner gelesen werden. Stecken Sie den Stick neu ein, um sie zu lesen.",
    " (Werkseinstellung: Fehler)", " (Bootloader: Fehler)",
};

// 0 selects English, any other index German.
constexpr const Language& ForIndex(int langIndex) { return langIndex == 0 ? kEnglish : kGerman; }

}  // namespace texts
