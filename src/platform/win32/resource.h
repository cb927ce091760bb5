// Resource ids shared by ostrael.rc and the code.
#pragma once

#define IDI_OSTRAEL 1
#define IDC_HAND_POINTER 2
// The pictures at 48 px; at each larger size of ui::kPictureSizes the ids go up one step.
#define IDR_CLOSE_GIF 101
#define IDR_MESSAGE_GIF 102
#define IDR_INFO_GIF 103
#define IDR_OPEN_GIF 104
#define IDR_SIZE_STEP 10
// Each picture's coverage, this far above the picture's own id.
#define IDR_COVERAGE 100
