#pragma once

#include <filesystem>

namespace tolvan {

class CatalogueStore;
class Clock;
class Desktop;
class Dialogs;
class FileAccess;
class PortRegistry;
class SerialDriver;
class TimerFactory;

// Everything the main window reaches outside itself.
struct Services {
    Clock& clock;
    TimerFactory& timers;
    SerialDriver& serial;
    PortRegistry& ports;
    Dialogs& dialogs;
    Desktop& desktop;
    CatalogueStore& catalogues;
    const FileAccess& fileAccess;      // the files other operators share
    std::filesystem::path root;        // the installation root that stands for the drive
    std::filesystem::path executable;  // the running executable's real path
};

}  // namespace tolvan
