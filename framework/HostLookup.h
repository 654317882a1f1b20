#pragma once

// Host ids produced by LookUpHost. The gaps (6, 10, 11, 19) are never produced.
enum EHost {
    kHostUninit = -1,
    kHostUnknown = 0,
    kHostReaper = 1,
    kHostProTools = 2,
    kHostCubase = 3,
    kHostNuendo = 4,
    kHostSonar = 5,
    kHostFL = 7,
    kHostSamplitude = 8,
    kHostAbletonLive = 9,
    kHostMelodyneStudio = 12,
    kHostVSTScanner = 13,
    kHostAULab = 14,
    kHostForte = 15,
    kHostChainer = 16,
    kHostAudition = 17,
    kHostOrion = 18,
    kHostSAWStudio = 20,
    kHostLogic = 21,
    kHostGarageBand = 22,
    kHostDigitalPerformer = 23,
    kHostStandalone = 24,
    kHostAudioMulch = 25,
    kHostStudioOne = 26,
    kHostVST3TestHost = 27,
    kHostArdour = 28,
};

// Maps a host name to its id: the name is lower-cased (only its first 255 characters are
// considered) and the first key of a fixed list found anywhere in it decides; no match gives
// kHostUnknown, a null name too. Any thread; no allocation.
int LookUpHost(const char* name);
