/* VEXON32's exports: opening a movie file, its description, frames into
   the caller's buffers, its sound, and the result texts. Handles are
   checked against the table of open movies, so a stale or foreign one is
   refused instead of followed. */
#include <stdlib.h>
#include <string.h>

#include "vx_core.h"
#include "vx_play.h"
#include "vx_win32.h"

#define VX_MAX_MOVIES 32

typedef struct VxFile {
  HANDLE handle;
} VxFile;

static VxMovie* open_movies[VX_MAX_MOVIES];

static const char* const result_texts[VX_RESULTS] = {
    "no error",
    "playback was skipped by the user",
    "an argument is not valid",
    "the movie file cannot be opened",
    "the movie file cannot be read",
    "the file is not a RIFF AVI movie",
    "a chunk runs past the end of the file",
    "the movie has no video stream",
    "the video is coded in a format this library does not decode",
    "the frame size is zero or too large",
    "the movie has no frames",
    "out of memory",
    "there is no frame with that number",
    "the frame data is corrupt",
    "the output buffer is too small for the frame",
    "the output pixel format is not supported",
    "the sound format is not supported",
    "a palette change reaches past entry 255",
    "the end of the movie",
    "the display or sound device refused the movie",
    "the movie has no sound",
};

int vx_valid(VxMovie* movie) {
  if (!movie) return 0;
  for (int i = 0; i < VX_MAX_MOVIES; i++)
    if (open_movies[i] == movie) return 1;
  return 0;
}

static uint32_t file_read(void* context, uint32_t offset, void* buffer, uint32_t bytes) {
  VxFile* file = (VxFile*)context;
  DWORD done = 0;
  if (SetFilePointer(file->handle, (long)offset, 0, FILE_BEGIN) != offset) return 0;
  if (!ReadFile(file->handle, buffer, bytes, &done, 0)) return 0;
  return done;
}

const char* VXAPI VxErrorText(int result) {
  if (result < 0 || result >= VX_RESULTS) return "unknown result";
  return result_texts[result];
}

int VXAPI VxOpenMovie(const char* path, HVXMOVIE* out) {
  if (!path || !out) return VX_ERR_ARGUMENT;
  *out = 0;
  int slot = 0;
  while (slot < VX_MAX_MOVIES && open_movies[slot]) slot++;
  if (slot == VX_MAX_MOVIES) return VX_ERR_MEMORY;
  VxFile* file = (VxFile*)malloc(sizeof(VxFile));
  if (!file) return VX_ERR_MEMORY;
  file->handle = CreateFileA(path, GENERIC_READ, 1 /* FILE_SHARE_READ */, 0, OPEN_EXISTING, 0, 0);
  if (file->handle == INVALID_HANDLE_VALUE) {
    free(file);
    return VX_ERR_OPEN;
  }
  DWORD high = 0, size = GetFileSize(file->handle, &high);
  if (high || size == 0xFFFFFFFFu) size = 0xFFFFFFFEu; /* a movie reads only its first 4 GiB */
  VxSource source = {file, file_read, size};
  VxMovie* movie = 0;
  int result = vx_open(&source, &movie);
  if (result) {
    CloseHandle(file->handle);
    free(file);
    return result;
  }
  open_movies[slot] = movie;
  *out = movie;
  return VX_OK;
}

int VXAPI VxCloseMovie(HVXMOVIE movie) {
  if (!vx_valid(movie)) return VX_ERR_ARGUMENT;
  for (int i = 0; i < VX_MAX_MOVIES; i++)
    if (open_movies[i] == movie) open_movies[i] = 0;
  VxFile* file = (VxFile*)movie->source.context;
  CloseHandle(file->handle);
  free(file);
  vx_close(movie);
  return VX_OK;
}

int VXAPI VxGetInfo(HVXMOVIE movie, VxInfo* info) {
  if (!vx_valid(movie) || !info || info->size < sizeof(VxInfo)) return VX_ERR_ARGUMENT;
  *info = movie->info;
  return VX_OK;
}

int VXAPI VxDecodeFrame(HVXMOVIE movie, uint32_t frame, void* bits, uint32_t bytes, int32_t pitch,
                        uint32_t format) {
  if (!vx_valid(movie)) return VX_ERR_ARGUMENT;
  int result = vx_decode_frame(movie, frame, bits, bytes, pitch, format);
  if (result != VX_ERR_FRAME && result != VX_ERR_ARGUMENT && result != VX_ERR_FORMAT && result != VX_ERR_BUFFER)
    movie->next = frame + 1;
  return result;
}

int VXAPI VxDecodeNext(HVXMOVIE movie, void* bits, uint32_t bytes, int32_t pitch, uint32_t format,
                       uint32_t* frame) {
  if (!vx_valid(movie)) return VX_ERR_ARGUMENT;
  if (movie->next >= movie->info.frames) return VX_ERR_END;
  uint32_t n = movie->next;
  if (frame) *frame = n;
  return VxDecodeFrame(movie, n, bits, bytes, pitch, format);
}

int VXAPI VxSeek(HVXMOVIE movie, uint32_t frame) {
  if (!vx_valid(movie)) return VX_ERR_ARGUMENT;
  if (frame >= movie->info.frames) return VX_ERR_FRAME;
  movie->next = frame;
  return VX_OK;
}

int VXAPI VxGetPalette(HVXMOVIE movie, uint8_t colours[256][4]) {
  if (!vx_valid(movie) || !colours) return VX_ERR_ARGUMENT;
  vx_output_palette(movie, colours);
  return VX_OK;
}

int VXAPI VxReadAudio(HVXMOVIE movie, uint32_t offset, void* buffer, uint32_t bytes, uint32_t* done) {
  if (!vx_valid(movie)) return VX_ERR_ARGUMENT;
  return vx_read_audio(movie, offset, buffer, bytes, done);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void* reserved) {
  (void)instance, (void)reason, (void)reserved;
  return 1;
}
