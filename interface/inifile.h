// The settings file "Corvatine.ini": key = value lines read once at start-up,
// before the hash tables are allocated.
#pragma once

// Characters of a settings-file line that are read; the rest of a longer
// line is dropped with a warning.
constexpr int INI_LINE_LIMIT = 249;

// Reads "Corvatine.ini" from the working directory and applies every line;
// without the file nothing changes and nothing is printed.
void ReadIniFile();
// Open for the tests; the engine calls it only inside interface/inifile.cpp.
// The same for the settings file at path.
void ReadSettingsFile(const char* path);

// Sets the tablebase directory list; gives 0 and keeps the old one when the
// text does not fit in tb_path.
int SetEgtbPath(const char* text);
