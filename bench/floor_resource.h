/* The floor program's empty dialog. */
#ifndef FLOOR_RESOURCE_H
#define FLOOR_RESOURCE_H

/* The identifier of the options dialog, so that the same code also shows
   that dialog's template. */
#define IDD_FLOOR 106
#define FLOOR_CAPTION "Floor"

#endif
