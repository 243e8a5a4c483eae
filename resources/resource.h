// Resource identifiers of Parcelo.exe. Images live beside this file; sizes are those at 96 dpi,
// and every icon holds an image of each size it is shown at from 96 to 192 dpi.
#pragma once

#define IDI_APP 1             // window icon, Parcelo.ico
#define IDC_HAND_POINTER 101  // 32 x 32 monochrome pointing hand, hot spot (6, 0): hand.cur
#define IDI_NOT_ON_TOP \
  110                   // imgNot: pin lying down, not-on-top.ico (21 x 21 at 96 dpi, in 315 twips)
#define IDI_ON_TOP 111  // imgTop: pin pressed in, on-top.ico
#define IDI_HEADER 120  // InfoHeader1's picture: 32 x 32 at 96 dpi, 24-bit colour, header.ico
#define IDI_HEADER_DEFAULT \
  121  // the header control's built-in icon, 16 x 16 at 96 dpi, header16.ico
#define IDB_ABOUT_PICTURE 130      // About window's picIcon: 67 x 143 bitmap, about.bmp
#define IDI_ABOUT_ICON 131         // About window's Image1 and icon: 32 x 32 at 96 dpi, about.ico
#define IDB_ABOUT_PICTURE_120 132  // picIcon at 120 dpi: 84 x 179, about-120.bmp
#define IDB_ABOUT_PICTURE_144 133  // picIcon at 144 dpi: 100 x 214, about-144.bmp
#define IDB_ABOUT_PICTURE_192 134  // picIcon at 192 dpi: 134 x 286, about-192.bmp
