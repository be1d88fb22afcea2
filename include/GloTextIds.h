// Identifiers of the core's string table (English and German), by their English text.
//
// A plug-in function names its description and the text of each axis direction by these
// identifiers (CGlo_PluginFunction); the configuration dialog shows the text in the user's
// language. 0 means no text. The core's own resource script is written with the same names, so
// a number here always finds its text.
//
// Plain definitions only: the resource compiler reads this header too.
#pragma once

#define GLO_TEXT_NONE 0

// Continuous functions: the function's name, then its directions.
#define GLO_TEXT_PAN_WINDOW 1
#define GLO_TEXT_PAN_UP_DOWN 2
#define GLO_TEXT_PAN_LEFT_RIGHT 3
#define GLO_TEXT_PAN_DOWN_UP 4
#define GLO_TEXT_PAN_RIGHT_LEFT 5
#define GLO_TEXT_MOUSE_WHEEL 6
#define GLO_TEXT_MOUSE_WHEEL_UP_DOWN 7
#define GLO_TEXT_MOUSE_WHEEL_DOWN_UP 8
#define GLO_TEXT_LINE_SCROLL_WINDOW 9
#define GLO_TEXT_LINE_SCROLL_UP_DOWN 10
#define GLO_TEXT_LINE_SCROLL_LEFT_RIGHT 11
#define GLO_TEXT_LINE_SCROLL_DOWN_UP 12
#define GLO_TEXT_LINE_SCROLL_RIGHT_LEFT 13
#define GLO_TEXT_PAN_ZOOM_OBJECT 14
#define GLO_TEXT_PAN_OBJECT_UP_DOWN 15
#define GLO_TEXT_PAN_OBJECT_LEFT_RIGHT 16
#define GLO_TEXT_ZOOM_OBJECT_IN_OUT 17
#define GLO_TEXT_PAN_OBJECT_DOWN_UP 18
#define GLO_TEXT_PAN_OBJECT_RIGHT_LEFT 19
#define GLO_TEXT_ZOOM_OBJECT_OUT_IN 20
#define GLO_TEXT_ZOOM_IN_OUT 21
#define GLO_TEXT_ZOOM_OUT_IN 22
#define GLO_TEXT_ARROW_UP_DOWN 23
#define GLO_TEXT_ARROW_DOWN_UP 24
#define GLO_TEXT_CURSOR_LEFT_RIGHT 35
#define GLO_TEXT_CURSOR_RIGHT_LEFT 36
#define GLO_TEXT_CURSOR_UP_DOWN 37
#define GLO_TEXT_CURSOR_DOWN_UP 38
#define GLO_TEXT_ZOOM_WINDOW 39
#define GLO_TEXT_ARROW_LEFT_RIGHT 40
#define GLO_TEXT_ARROW_RIGHT_LEFT 41
#define GLO_TEXT_SMOOTH_SCROLL_LEFT_RIGHT 44
#define GLO_TEXT_SMOOTH_SCROLL_RIGHT_LEFT 45
#define GLO_TEXT_SMOOTH_SCROLL_UP_DOWN 46
#define GLO_TEXT_SMOOTH_SCROLL_DOWN_UP 47
#define GLO_TEXT_ZOOM_CALENDAR_IN_OUT 53
#define GLO_TEXT_ZOOM_ENTIRE_PROJECT 55
#define GLO_TEXT_SMOOTH_PAN 56

// One-shot functions.
#define GLO_TEXT_PAGE_UP 25
#define GLO_TEXT_PAGE_DOWN 26
#define GLO_TEXT_PAGE_LEFT 27
#define GLO_TEXT_PAGE_RIGHT 28
#define GLO_TEXT_PREVIOUS_PAGE 29
#define GLO_TEXT_NEXT_PAGE 30
#define GLO_TEXT_NEXT_SHEET 31
#define GLO_TEXT_PREVIOUS_SHEET 32
#define GLO_TEXT_HISTORY_BACK 33
#define GLO_TEXT_HISTORY_FORWARD 34
#define GLO_TEXT_PREVIOUS_ITEM 42
#define GLO_TEXT_NEXT_ITEM 43
#define GLO_TEXT_SCROLL_PAGE_UP 58
#define GLO_TEXT_SCROLL_PAGE_DOWN 59

// Labels of the configuration dialog ("Button" also names button functions well).
#define GLO_TEXT_PLUGIN_FUNCTIONS 48
#define GLO_TEXT_BUTTON 49
#define GLO_TEXT_LINE 50
#define GLO_TEXT_PLANE 51
#define GLO_TEXT_SPACE 52

// Messages of the core.
#define GLO_TEXT_HOME_NOT_FOUND 54
#define GLO_TEXT_NO_USB_DEVICE 57
