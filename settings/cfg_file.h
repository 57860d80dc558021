// Loading and saving tarro.cfg.
#pragma once

// tarro.cfg in the current folder: the game line, the video line and every
// other line kept in order.
void load_cfg_file();
void save_cfg_file();
