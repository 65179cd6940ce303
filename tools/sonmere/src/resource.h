// Resource ids of the audio CD player (its control ids are in player.h).
#pragma once

#define IDD_SONMERE 100
#define IDI_SONMERE 128
