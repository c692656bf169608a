// Command ids of the whole program: menu items, accelerators, tool-bar
// buttons and the editor view's own commands. A command id is also the id of
// its tool-bar bitmap, its hint string and its help topic, so the numbers
// are fixed. The engine's view and the windows both route by these names.
#pragma once

enum CommandId : int {
  // File.
  CM_FILENEW = 24331,
  CM_FILEOPEN = 24332,
  CM_FILECLOSE = 24339,
  CM_FILESAVE = 24333,
  CM_FILESAVEAS = 24334,
  CM_FILEPRINTPREVIEW = 24340,
  CM_FILEPRINT = 24337,
  CM_FILEPRINTERSETUP = 24338,
  CM_FILESEND = 24345,
  CM_EXIT = 24310,
  // Edit.
  CM_EDITUNDO = 24321,
  CM_EDITCUT = 24322,
  CM_EDITCOPY = 24323,
  CM_EDITPASTE = 24324,
  CM_EDITCLEAR = 24326,
  CM_EDITDELETE = 24325,
  CM_PREFERENCES = 284,
  // Search.
  CM_SEARCHWORD = 23,
  CM_FILEEXTENSIONS = 24222,
  CM_WORDCATALOGCREATE = 114,
  CM_WORDCATALOGDESTROY = 113,
  CM_WORDCATALOGRESCAN = 112,
  CM_EDITFIND = 24351,
  CM_EDITREPLACE = 24352,
  CM_EDITFINDNEXT = 24353,
  // Zarns.
  CM_TESTZARN = 14,
  CM_SAVEZARN = 11,
  CM_LOADZFILE = 10,
  CM_BROWSEZARNS = 285,
  CM_EXTRACTZARNS = 17,
  CM_RESETZARNS = 16,
  CM_USERFTYPES = 7,
  CM_SKED = 6,
  // Window.
  CM_CASCADECHILDREN = 24361,
  CM_TILECHILDREN = 24362,
  CM_ARRANGEICONS = 24364,
  CM_CLOSECHILDREN = 24365,
  // Help.
  CM_HELPCONTENTS = 2001,
  CM_DEBUG = 5,
  CM_HELPUSING = 2972,
  CM_HELPABOUT = 2009,
  // Tool bar and keys only.
  CM_RUNZARN = 21,
  CM_ZARNFIND = 2922,  // the same search as CM_SEARCHWORD
  CM_BROWSER = 27,
  CM_VANILLA = 291,
  CM_CALCULATE = 293,
  CM_SORT = 263,
  CM_INSERTDATE = 264,
  CM_TIME = 265,
  CM_TIMERESET = 266,
  CM_PHONE = 268,
  CM_ATLAS = 261,
  CM_DICTIONARY = 26,
  CM_ENCYC = 262,
  CM_ARTS = 270,
  CM_SCIENCE = 271,
  CM_SPORTS = 272,
  CM_WEB = 2923,
  CM_BRINDLE = 295,
  CM_CONTACT = 392,
  CM_SPEEDDIAL = 269,
  CM_CTRLD = 13,
  CM_CTRLM = 62713,
  // The paste menu's clip items: clip n has the id CM_FIRSTCLIP + n.
  CM_FIRSTCLIP = 10001,
  CM_LASTCLIP = 10100
};
