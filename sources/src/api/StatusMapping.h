#pragma once

// The public status of an internal one: 0, -1 to -19, -21 to -23 and -101 to -109 pass, every
// other value becomes -255 with a log line.
int InterRet2ExternRet(int interRet);
