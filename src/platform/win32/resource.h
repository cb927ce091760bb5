// Resource ids shared by ostrael.rc and the code.
#pragma once

#define IDI_OSTRAEL 1
#define IDC_HAND_POINTER 2
#define IDR_CLOSE_GIF 101
#define IDR_MESSAGE_GIF 102
#define IDR_INFO_GIF 103
#define IDR_OPEN_GIF 104
