/* The multimedia MIDI device functions that the MIDI driver calls, with their types, messages,
 * flags and result codes, over the machine's MIDI system (ALSA sequencer, JACK or in-process
 * virtual devices; see DORVO2_MIDI).
 *
 * Behaviour follows the multimedia interface: input callbacks arrive on a thread of this layer;
 * system-exclusive input fills the buffers added with midiInAddBuffer in order; midiInReset hands
 * back every queued buffer (MIM_LONGDATA with MHDR_DONE); midiOutLongMsg sends in the background
 * and reports MOM_DONE; unpreparing a buffer still queued answers MIDIERR_STILLPLAYING. */
#ifndef DORVO_MMSYSTEM_H
#define DORVO_MMSYSTEM_H

#include <dorvo/wintypes.h>

typedef UINT MMRESULT;
typedef struct HMIDIIN__* HMIDIIN;
typedef struct HMIDIOUT__* HMIDIOUT;
typedef char* LPSTR;
typedef DWORD MMVERSION;

/* Longer than the multimedia interface's 32 characters: sequencer port names carry the client
 * and port names, and a cut name would lose the difference between "... MIDI 1" and
 * "... MIDI 2", on which a port's persistent identity rests. */
#define MAXPNAMELEN 128

#define MMSYSERR_NOERROR 0
#define MMSYSERR_ERROR 1
#define MMSYSERR_BADDEVICEID 2
#define MMSYSERR_NOTENABLED 3
#define MMSYSERR_ALLOCATED 4
#define MMSYSERR_INVALHANDLE 5
#define MMSYSERR_NODRIVER 6
#define MMSYSERR_NOMEM 7
#define MMSYSERR_NOTSUPPORTED 8
#define MMSYSERR_INVALFLAG 10
#define MMSYSERR_INVALPARAM 11
#define MIDIERR_UNPREPARED 64
#define MIDIERR_STILLPLAYING 65
#define MIDIERR_NOMAP 66
#define MIDIERR_NOTREADY 67
#define MIDIERR_NODEVICE 68
#define MIDIERR_INVALIDSETUP 69

#define CALLBACK_NULL 0x00000000
#define CALLBACK_FUNCTION 0x00030000

#define MIM_OPEN 0x3C1
#define MIM_CLOSE 0x3C2
#define MIM_DATA 0x3C3
#define MIM_LONGDATA 0x3C4
#define MIM_ERROR 0x3C5
#define MIM_LONGERROR 0x3C6
#define MIM_MOREDATA 0x3CC
#define MOM_OPEN 0x3C7
#define MOM_CLOSE 0x3C8
#define MOM_DONE 0x3C9

#define MHDR_DONE 0x00000001
#define MHDR_PREPARED 0x00000002
#define MHDR_INQUEUE 0x00000004
#define MHDR_ISSTRM 0x00000008

typedef struct midihdr_tag {
    LPSTR lpData;
    DWORD dwBufferLength;
    DWORD dwBytesRecorded;
    DWORD_PTR dwUser;
    DWORD dwFlags;
    struct midihdr_tag* lpNext;
    DWORD_PTR reserved;
    DWORD dwOffset;
    DWORD_PTR dwReserved[8];
} MIDIHDR;
typedef MIDIHDR* LPMIDIHDR;

typedef struct tagMIDIINCAPSW {
    WORD wMid;
    WORD wPid;
    MMVERSION vDriverVersion;
    WCHAR szPname[MAXPNAMELEN];
    DWORD dwSupport;
} MIDIINCAPSW;

typedef struct tagMIDIOUTCAPSW {
    WORD wMid;
    WORD wPid;
    MMVERSION vDriverVersion;
    WCHAR szPname[MAXPNAMELEN];
    WORD wTechnology;
    WORD wVoices;
    WORD wNotes;
    WORD wChannelMask;
    DWORD dwSupport;
} MIDIOUTCAPSW;

/* Called on a thread of this layer, never on the thread that opened the device. */
typedef void (*LPMIDICALLBACK)(HMIDIIN handle, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                               DWORD_PTR param2);
typedef void (*LPMIDIOUTCALLBACK)(HMIDIOUT handle, UINT message, DWORD_PTR instance,
                                  DWORD_PTR param1, DWORD_PTR param2);

DORVO_EXTERN_C_BEGIN

UINT midiInGetNumDevs(void);
UINT midiOutGetNumDevs(void);
MMRESULT midiInGetDevCapsW(UINT_PTR uDeviceID, MIDIINCAPSW* caps, UINT cbCaps);
MMRESULT midiOutGetDevCapsW(UINT_PTR uDeviceID, MIDIOUTCAPSW* caps, UINT cbCaps);

MMRESULT midiInOpen(HMIDIIN* phmi, UINT uDeviceID, DWORD_PTR dwCallback, DWORD_PTR dwInstance,
                    DWORD fdwOpen);
MMRESULT midiInPrepareHeader(HMIDIIN hmi, MIDIHDR* hdr, UINT cbHdr);
MMRESULT midiInUnprepareHeader(HMIDIIN hmi, MIDIHDR* hdr, UINT cbHdr);
MMRESULT midiInAddBuffer(HMIDIIN hmi, MIDIHDR* hdr, UINT cbHdr);
MMRESULT midiInStart(HMIDIIN hmi);
MMRESULT midiInStop(HMIDIIN hmi);
MMRESULT midiInReset(HMIDIIN hmi);
MMRESULT midiInClose(HMIDIIN hmi);

MMRESULT midiOutOpen(HMIDIOUT* phmo, UINT uDeviceID, DWORD_PTR dwCallback, DWORD_PTR dwInstance,
                     DWORD fdwOpen);
MMRESULT midiOutShortMsg(HMIDIOUT hmo, DWORD dwMsg);
MMRESULT midiOutPrepareHeader(HMIDIOUT hmo, MIDIHDR* hdr, UINT cbHdr);
MMRESULT midiOutUnprepareHeader(HMIDIOUT hmo, MIDIHDR* hdr, UINT cbHdr);
MMRESULT midiOutLongMsg(HMIDIOUT hmo, MIDIHDR* hdr, UINT cbHdr);
MMRESULT midiOutReset(HMIDIOUT hmo);
MMRESULT midiOutClose(HMIDIOUT hmo);

/* Milliseconds of a monotonic clock. */
DWORD timeGetTime(void);

/* Not of the multimedia interface: the machine's MIDI devices changed (one appeared, went away
 * or was renamed), as a hot-plug notice would say. `callback` runs on a thread of this layer,
 * perhaps several times for one change, and must return quickly; the device numbers change only
 * with the next midiInGetNumDevs / midiOutGetNumDevs. A null callback ends the calls; once this
 * returns, the previous callback is not running and is not called again. */
typedef void (*DORVO_MIDI_DEVICES_CHANGED)(DWORD_PTR context);
void dorvoMidiSetDevicesChangedCallback(DORVO_MIDI_DEVICES_CHANGED callback, DWORD_PTR context);

/* Not of the multimedia interface: event times, in microseconds of a monotonic clock cut to
 * 32 bits (compare by difference; 0 means none). While an input callback reports MIM_DATA,
 * dorvoMidiEventTime gives the time the message arrived at the machine's MIDI system, finer
 * than the callback's millisecond timestamp. A thread that passes a received message on sets
 * its time with dorvoMidiSetEventTime before the send (and 0 after it): a backend that
 * schedules output (JACK) then sends it a fixed delay after its arrival instead of as soon as
 * possible, so that what passes through keeps its timing. Both act on the calling thread only. */
DWORD dorvoMidiEventTime(void);
void dorvoMidiSetEventTime(DWORD microseconds);

DORVO_EXTERN_C_END

#endif /* DORVO_MMSYSTEM_H */
