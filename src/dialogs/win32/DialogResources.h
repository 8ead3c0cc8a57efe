/* Identifiers of the settings dialogs' templates, which the DLL carries as resources in Japanese
 * (1041) and English (1033). Read by the resource compiler too, so only #define lines. */
#pragma once

/* Frames (tab 1001, OK 1, Cancel 2, Default 3) and the pages shown inside their tab. The
 * stream format dialog is frame and page in one. */
#define VELCOR_DLG_CAMERA_JA 101
#define VELCOR_DLG_CAMERA_EN 106
#define VELCOR_DLG_IMAGE_FRAME_JA 102
#define VELCOR_DLG_IMAGE_FRAME_EN 108
#define VELCOR_DLG_IMAGE_PAGE_JA 103
#define VELCOR_DLG_IMAGE_PAGE_EN 107
#define VELCOR_DLG_ANALOG_FRAME_JA 104
#define VELCOR_DLG_ANALOG_FRAME_EN 111
#define VELCOR_DLG_ANALOG_COLOUR_JA 105
#define VELCOR_DLG_ANALOG_COLOUR_EN 110
#define VELCOR_DLG_GRAY_PAGE_JA 113
#define VELCOR_DLG_GRAY_PAGE_EN 112
#define VELCOR_DLG_ANALOG_MONO_JA 116
#define VELCOR_DLG_ANALOG_MONO_EN 117

#define VELCOR_IDC_TAB 1001

/* The static text in front of a control (a slider trio's caption carries its trackbar's
 * identifier) or the group box around it is numbered control + this offset, so that it hides,
 * shows, enables and takes its text with that control. */
#define VELCOR_CAPTION_OFFSET 20000
