// FFmpeg, loaded when a sound is first converted or decoded. Its libraries
// bring over a hundred shared objects with them: linked into the program they
// cost every start tens of milliseconds, also for the many commands that
// never touch audio.
#pragma once

#include "base/Result.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libswresample/swresample.h>
}

namespace flashsmith::sound::ffmpeg {

// The functions the sound layer calls, with the library each comes from.
#define FS_FFMPEG_FUNCTIONS(X)                                                                              \
    X(avutil, av_channel_layout_compare) X(avutil, av_channel_layout_copy) X(avutil, av_channel_layout_default) \
    X(avutil, av_channel_layout_uninit) X(avutil, av_dict_free) X(avutil, av_dict_set) X(avutil, av_frame_alloc) \
    X(avutil, av_frame_free) X(avutil, av_frame_get_buffer) X(avutil, av_frame_unref) X(avutil, av_free)         \
    X(avutil, av_freep) X(avutil, av_log_set_level) X(avutil, av_malloc) X(avutil, av_strerror)                  \
    X(avcodec, av_new_packet) X(avcodec, av_packet_alloc) X(avcodec, av_packet_free)                             \
    X(avcodec, av_packet_rescale_ts) X(avcodec, av_packet_unref) X(avcodec, avcodec_alloc_context3)              \
    X(avcodec, avcodec_find_decoder) X(avcodec, avcodec_find_encoder) X(avcodec, avcodec_free_context)           \
    X(avcodec, avcodec_open2) X(avcodec, avcodec_parameters_from_context)                                        \
    X(avcodec, avcodec_parameters_to_context) X(avcodec, avcodec_receive_frame)                                  \
    X(avcodec, avcodec_receive_packet) X(avcodec, avcodec_send_frame) X(avcodec, avcodec_send_packet)            \
    X(avformat, av_find_best_stream) X(avformat, av_read_frame) X(avformat, av_write_frame)                      \
    X(avformat, av_write_trailer) X(avformat, avformat_alloc_output_context2) X(avformat, avformat_close_input)   \
    X(avformat, avformat_find_stream_info) X(avformat, avformat_free_context) X(avformat, avformat_new_stream)    \
    X(avformat, avformat_open_input) X(avformat, avformat_write_header) X(avformat, avio_alloc_context)          \
    X(avformat, avio_context_free) X(avformat, avio_flush) X(swresample, swr_alloc_set_opts2)                    \
    X(swresample, swr_convert) X(swresample, swr_free) X(swresample, swr_get_out_samples) X(swresample, swr_init)

struct Api {
#define FS_FFMPEG_POINTER(lib, name) decltype(&::name) name = nullptr;
    FS_FFMPEG_FUNCTIONS(FS_FFMPEG_POINTER)
#undef FS_FFMPEG_POINTER
};

// Loads the libraries on the first call (thread-safe). Fails when they
// cannot be loaded; later calls then fail the same way.
base::Result<const Api*> Load();

}  // namespace flashsmith::sound::ffmpeg
