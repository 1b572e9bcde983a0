#pragma once

// Opening the plug-in's own log, "halden_tof.txt" in the kit's log folder (the default
// folder for an empty or null path). The plug-in carries its own copy of the log, so the
// file is separate from the kit's. A base of the plug-in object, so that the log is open
// before any member logs; it is left open when the object goes.
class PluginLog {
protected:
    explicit PluginLog(const char* logPath);
};
