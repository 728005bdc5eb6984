#pragma once

#define IDI_QUILLRAKE 1

#define IDC_TEXT1 101
#define IDC_LIST1 102
#define IDC_COMMAND1 103
