// Program-wide preferences and their file.
#pragma once

#include "os/dos.h"
#include "os/exec.h"
#include "mui/mui.h"

struct Settings {
    LONG pad = 0;
};

extern Settings gSettings;
extern Settings gOldSettings;
extern const char gSettingsFilename[20];

void LoadDefaults();
void LoadSettings(DosFile& file);
void SaveSettings(DosFile& file);
void InitSettings();
void OpenSettings(mui::Object* window);
void CloseSettings(mui::Object* window);
void UseSettings(mui::Object* window, BOOL save);
void UpdateSettings(mui::Object* window, LONG signal);
void DestroySettings();
