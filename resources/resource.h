// Resource identifiers of Parcelo.exe. Images live beside this file.
#pragma once

#define IDI_APP 1              // window icon, Parcelo.ico
#define IDC_HAND_POINTER 101   // 32 x 32 monochrome pointing hand, hot spot (6, 0): hand.cur
#define IDI_NOT_ON_TOP 110     // imgNot: pin lying down, not-on-top.ico (21 x 21 shown in 315 twips)
#define IDI_ON_TOP 111         // imgTop: pin pressed in, on-top.ico
#define IDI_HEADER 120         // InfoHeader1's picture: 32 x 32, 24-bit colour, header.ico
#define IDI_HEADER_DEFAULT 121 // the header control's built-in 16 x 16 icon, header16.ico
#define IDB_ABOUT_PICTURE 130  // About window's picIcon: 67 x 143 bitmap, about.bmp
#define IDI_ABOUT_ICON 131     // About window's Image1: 32 x 32 icon, about.ico
