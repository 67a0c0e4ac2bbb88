#pragma once

// The tool's commands; each takes the whole command line and returns the exit code.
int RunConvert(int argc, char** argv);
int RunRecord(int argc, char** argv);
int RunCalibrate(int argc, char** argv);
int RunExport(int argc, char** argv);
int RunInspect(int argc, char** argv);

extern const char* const kConvertUsage;
extern const char* const kRecordUsage;
extern const char* const kCalibrateUsage;
extern const char* const kExportUsage;
extern const char* const kInspectUsage;
