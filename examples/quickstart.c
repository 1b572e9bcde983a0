/* quickstart: finds a camera, streams a few frames, and writes one depth frame as a point
 * cloud (PLY) and the depth, IR and colour images as PNG files; for a camera with colour also
 * registered.png, the colour image with the depth mapped into it drawn over it.
 *
 *   quickstart [-o OUTPUT_DIR] [-n FRAMES]
 */
#define _POSIX_C_SOURCE 200809L

#include <errno.h>
#include <png.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>

#include "Torvane_api.h"

#define WAIT_FOR_CAMERA_MS 10000
#define FRAME_WAIT_MS      1000
#define MAX_LISTED         8

static int failed(const char* call, int status) {
    fprintf(stderr, "quickstart: %s failed with status %d\n", call, status);
    return status;
}

static double now_seconds(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec / 1e9;
}

static void sleep_ms(long ms) {
    struct timespec ts;
    ts.tv_sec = ms / 1000;
    ts.tv_nsec = (ms % 1000) * 1000000L;
    nanosleep(&ts, NULL);
}

static uint16_t pixel16(const uint8_t* data, size_t index) {
    uint16_t value;
    memcpy(&value, data + 2 * index, sizeof(value));
    return value;
}

/* Writes rows of 8-bit samples, `channels` per pixel (1 grey, 3 RGB). */
static int write_png(const char* path, const uint8_t* pixels, int width, int height, int channels) {
    FILE* file = fopen(path, "wb");
    if (!file) {
        fprintf(stderr, "quickstart: cannot create %s: %s\n", path, strerror(errno));
        return -1;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, NULL, NULL, NULL);
    png_infop info = png ? png_create_info_struct(png) : NULL;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        fprintf(stderr, "quickstart: libpng failed writing %s\n", path);
        png_destroy_write_struct(&png, &info);
        fclose(file);
        return -1;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, (png_uint_32)width, (png_uint_32)height, 8,
                 channels == 3 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        png_write_row(png, (png_const_bytep)(pixels + (size_t)y * width * channels));
    }
    png_write_end(png, NULL);
    png_destroy_write_struct(&png, &info);
    if (fclose(file) != 0) {
        fprintf(stderr, "quickstart: cannot write %s: %s\n", path, strerror(errno));
        return -1;
    }
    return 0;
}

/* Depth 0 is no return and 0xFFFF a pixel that the filters rejected. */
static int valid_depth(uint16_t d) { return d != 0 && d != 0xFFFF; }

/* The value below which `fraction` of the counted samples lie, from a histogram. */
static uint32_t percentile(const uint32_t* histogram, uint32_t bins, size_t counted, double fraction) {
    const size_t wanted = (size_t)(fraction * (double)counted);
    size_t seen = 0;
    for (uint32_t v = 0; v < bins; ++v) {
        seen += histogram[v];
        if (seen > wanted) return v;
    }
    return bins - 1;
}

/* The 1st and 99th percentile of the samples that `keep` accepts, so that a few stray pixels
 * do not flatten a picture's scale. 16-bit samples when `wide`, else 8-bit. */
static int stretch_range(const uint8_t* data, size_t count, int wide, int (*keep)(uint16_t), uint32_t* lo,
                         uint32_t* hi) {
    const uint32_t bins = wide ? 65536u : 256u;
    uint32_t* histogram = calloc(bins, sizeof(*histogram));
    if (!histogram) return -1;
    size_t counted = 0;
    for (size_t i = 0; i < count; ++i) {
        const uint16_t v = wide ? pixel16(data, i) : data[i];
        if (keep && !keep(v)) continue;
        ++histogram[v];
        ++counted;
    }
    *lo = percentile(histogram, bins, counted, 0.01);
    *hi = percentile(histogram, bins, counted, 0.99);
    free(histogram);
    return 0;
}

/* Where v lies between lo and hi, from 0 to 1. */
static double scale(uint32_t v, uint32_t lo, uint32_t hi) {
    if (hi <= lo) return 0.5;
    const double t = ((double)v - lo) / (double)(hi - lo);
    return t < 0.0 ? 0.0 : t > 1.0 ? 1.0 : t;
}

/* Near is red, far is blue. */
static void false_colour(double t, uint8_t* p) {
    p[0] = (uint8_t)(255.0 * (t < 0.5 ? 1.0 : 2.0 * (1.0 - t)));
    p[1] = (uint8_t)(255.0 * (t < 0.5 ? 2.0 * t : 2.0 * (1.0 - t)));
    p[2] = (uint8_t)(255.0 * (t < 0.5 ? 2.0 * t : 1.0));
}

/* Depth in false colour; invalid depth is black. */
static int write_depth_png(const char* path, const QlFrame* depth) {
    const size_t count = (size_t)depth->width * depth->height;
    uint32_t lo, hi;
    uint8_t* rgb = malloc(count * 3);
    if (!rgb || stretch_range(depth->pFrameData, count, 1, valid_depth, &lo, &hi) != 0) {
        free(rgb);
        return -1;
    }
    for (size_t i = 0; i < count; ++i) {
        const uint16_t d = pixel16(depth->pFrameData, i);
        uint8_t* p = rgb + 3 * i;
        if (valid_depth(d)) {
            false_colour(scale(d, lo, hi), p);
        } else {
            p[0] = p[1] = p[2] = 0;
        }
    }
    const int result = write_png(path, rgb, depth->width, depth->height, 3);
    free(rgb);
    return result;
}

/* IR as grey, stretched over its own range. */
static int write_ir_png(const char* path, const QlFrame* ir) {
    const size_t count = (size_t)ir->width * ir->height;
    const int wide = ir->pixelFormat != PIXEL_FORMAT_GRAY8;
    uint32_t lo, hi;
    uint8_t* grey = malloc(count);
    if (!grey || stretch_range(ir->pFrameData, count, wide, NULL, &lo, &hi) != 0) {
        free(grey);
        return -1;
    }
    for (size_t i = 0; i < count; ++i) {
        grey[i] = (uint8_t)(255.0 * scale(wide ? pixel16(ir->pFrameData, i) : ir->pFrameData[i], lo, hi));
    }
    const int result = write_png(path, grey, ir->width, ir->height, 1);
    free(grey);
    return result;
}

/* The colour image's pixels as RGB, whichever order the frame carries. */
static void colour_to_rgb(const QlFrame* colour, uint8_t* rgb) {
    const size_t count = (size_t)colour->width * colour->height;
    const int bgr = colour->pixelFormat == PIXEL_FORMAT_BGR;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* s = colour->pFrameData + 3 * i;
        rgb[3 * i + 0] = bgr ? s[2] : s[0];
        rgb[3 * i + 1] = s[1];
        rgb[3 * i + 2] = bgr ? s[0] : s[2];
    }
}

/* Whether the depth beside pixel (x, y), in direction (dx, dy), lies on a farther surface: the
 * next valid depth, across a short run of pixels without depth (the strip that one camera sees
 * behind an edge and the other does not), is more than a few percent farther. */
static int farther_beside(const QlFrame* depth, int x, int y, int dx, int dy, uint16_t d) {
    const int gap = 2 + depth->width / 40;
    for (int step = 1; step <= gap; ++step) {
        const int nx = x + step * dx;
        const int ny = y + step * dy;
        if (nx < 0 || ny < 0 || nx >= depth->width || ny >= depth->height) return 0;
        const uint16_t n = pixel16(depth->pFrameData, (size_t)ny * depth->width + nx);
        if (valid_depth(n)) return n > d + 30 + d / 25;
    }
    return 0;
}

/* The colour image with the depth mapped into the colour camera drawn over it: a light tint of
 * the depth's false colour where there is depth, and the outline of every nearer surface in
 * green, so that depth edges can be checked against the edges of the colour picture. */
static int write_registered_png(const char* path, const QlFrame* colour, const QlFrame* depthInColour) {
    if (colour->width != depthInColour->width || colour->height != depthInColour->height) {
        fprintf(stderr, "quickstart: depth-in-colour is %ux%u, the colour image %ux%u\n", depthInColour->width,
                depthInColour->height, colour->width, colour->height);
        return -1;
    }
    const size_t count = (size_t)colour->width * colour->height;
    uint32_t lo, hi;
    uint8_t* rgb = malloc(count * 3);
    uint8_t* edges = calloc(count, 1);
    if (!rgb || !edges || stretch_range(depthInColour->pFrameData, count, 1, valid_depth, &lo, &hi) != 0) {
        free(rgb);
        free(edges);
        return -1;
    }
    colour_to_rgb(colour, rgb);
    for (int y = 0; y < colour->height; ++y) {
        for (int x = 0; x < colour->width; ++x) {
            const size_t i = (size_t)y * colour->width + x;
            const uint16_t d = pixel16(depthInColour->pFrameData, i);
            if (!valid_depth(d)) continue;
            uint8_t* p = rgb + 3 * i;
            uint8_t tint[3];
            false_colour(scale(d, lo, hi), tint);
            for (int k = 0; k < 3; ++k) p[k] = (uint8_t)((3 * p[k] + tint[k]) / 4);
            edges[i] = farther_beside(depthInColour, x, y, 1, 0, d) || farther_beside(depthInColour, x, y, -1, 0, d) ||
                       farther_beside(depthInColour, x, y, 0, 1, d) || farther_beside(depthInColour, x, y, 0, -1, d);
        }
    }
    /* Lines stay visible when a large image is viewed scaled down. */
    const int thickness = colour->width >= 1280 ? 3 : 2;
    for (int y = 0; y < colour->height; ++y) {
        for (int x = 0; x < colour->width; ++x) {
            if (!edges[(size_t)y * colour->width + x]) continue;
            for (int dy = 0; dy < thickness && y + dy < colour->height; ++dy) {
                for (int dx = 0; dx < thickness && x + dx < colour->width; ++dx) {
                    uint8_t* p = rgb + 3 * ((size_t)(y + dy) * colour->width + x + dx);
                    p[0] = 0;
                    p[1] = 255;
                    p[2] = 0;
                }
            }
        }
    }
    free(edges);
    const int result = write_png(path, rgb, colour->width, colour->height, 3);
    free(rgb);
    return result;
}

static int write_colour_png(const char* path, const QlFrame* colour) {
    uint8_t* rgb = malloc((size_t)colour->width * colour->height * 3);
    if (!rgb) return -1;
    colour_to_rgb(colour, rgb);
    const int result = write_png(path, rgb, colour->width, colour->height, 3);
    free(rgb);
    return result;
}

/* The points that have depth, as an ASCII PLY file in millimetres. */
static int write_ply(const char* path, const QlVector3f* points, size_t count) {
    size_t valid = 0;
    for (size_t i = 0; i < count; ++i) {
        if (points[i].z > 0.0f) ++valid;
    }
    FILE* file = fopen(path, "w");
    if (!file) {
        fprintf(stderr, "quickstart: cannot create %s: %s\n", path, strerror(errno));
        return -1;
    }
    fprintf(file, "ply\nformat ascii 1.0\nelement vertex %zu\n", valid);
    fprintf(file, "property float x\nproperty float y\nproperty float z\nend_header\n");
    for (size_t i = 0; i < count; ++i) {
        if (points[i].z > 0.0f) fprintf(file, "%.2f %.2f %.2f\n", points[i].x, points[i].y, points[i].z);
    }
    if (fclose(file) != 0) {
        fprintf(stderr, "quickstart: cannot write %s: %s\n", path, strerror(errno));
        return -1;
    }
    printf("wrote %s (%zu points)\n", path, valid);
    return 0;
}

/* Polls the kit's camera list until a camera shows up or the wait runs out. */
static int wait_for_camera(QlDeviceInfo* camera) {
    uint32_t count = 0;
    int status = 0;
    for (int waited = 0; waited < WAIT_FOR_CAMERA_MS; waited += 100) {
        status = QL_GetDeviceCount(&count);
        if (status != 0) return failed("QL_GetDeviceCount", status);
        if (count > 0) break;
        sleep_ms(100);
    }
    if (count == 0) {
        fprintf(stderr, "quickstart: no camera found within %d s\n", WAIT_FOR_CAMERA_MS / 1000);
        return -1;
    }
    QlDeviceInfo list[MAX_LISTED];
    memset(list, 0, sizeof(list));
    const uint32_t wanted = count < MAX_LISTED ? count : MAX_LISTED;
    status = QL_GetDeviceInfoList(wanted, list);
    if (status != 0) return failed("QL_GetDeviceInfoList", status);
    for (uint32_t i = 0; i < wanted; ++i) {
        printf("camera %u: %s  serial %s  alias %s  ip %s  status %d\n", i, list[i].productName, list[i].serialNumber,
               list[i].alias, list[i].ip, (int)list[i].status);
    }
    *camera = list[0];
    return 0;
}

static char* join(const char* dir, const char* name) {
    const size_t length = strlen(dir) + strlen(name) + 2;
    char* path = malloc(length);
    if (path) snprintf(path, length, "%s/%s", dir, name);
    return path;
}

/* The last group's frames; a kind the camera did not deliver has no data. */
typedef struct Frames {
    QlFrame depth;
    QlFrame ir;
    QlFrame colour;
    QlFrame depthInColour;
} Frames;

/* Writes one output file with `writer` and says so; -1 when it failed. */
static int write_output(const char* dir, const char* name, int (*writer)(const char*, const Frames*),
                        const Frames* frames) {
    char* path = join(dir, name);
    if (!path) {
        fprintf(stderr, "quickstart: out of memory\n");
        return -1;
    }
    const int result = writer(path, frames);
    if (result == 0) printf("wrote %s\n", path);
    free(path);
    return result;
}

static int depth_output(const char* path, const Frames* f) { return write_depth_png(path, &f->depth); }
static int ir_output(const char* path, const Frames* f) { return write_ir_png(path, &f->ir); }
static int colour_output(const char* path, const Frames* f) { return write_colour_png(path, &f->colour); }
static int registered_output(const char* path, const Frames* f) {
    return write_registered_png(path, &f->colour, &f->depthInColour);
}

static int save_outputs(QlDeviceHandle handle, const char* dir, const Frames* frames) {
    int result = 0;
    const QlFrame* depth = &frames->depth;
    const size_t count = (size_t)depth->width * depth->height;
    QlVector3f* points = malloc(count * sizeof(*points));
    char* ply = join(dir, "pointcloud.ply");
    if (!points || !ply) {
        fprintf(stderr, "quickstart: out of memory\n");
        result = -1;
    } else {
        const int status = QL_ConvertDepthFrameToPointCloudVector(handle, depth, points);
        if (status != 0) {
            result = failed("QL_ConvertDepthFrameToPointCloudVector", status);
        } else if (write_ply(ply, points, count) != 0) {
            result = -1;
        }
    }
    free(points);
    free(ply);
    if (write_output(dir, "depth.png", depth_output, frames) != 0) result = -1;
    if (frames->ir.pFrameData && write_output(dir, "ir.png", ir_output, frames) != 0) result = -1;
    if (frames->colour.pFrameData && write_output(dir, "colour.png", colour_output, frames) != 0) result = -1;
    if (frames->colour.pFrameData && frames->depthInColour.pFrameData &&
        write_output(dir, "registered.png", registered_output, frames) != 0) {
        result = -1;
    }
    return result;
}

/* Takes a frame of a kind the group holds; leaves it empty otherwise. */
static int take(QlDeviceHandle handle, FrameReady ready, FrameReady bit, FrameType type, const char* call,
                QlFrame* frame) {
    memset(frame, 0, sizeof(*frame));
    if (!(ready & bit)) return 0;
    const int status = QL_GetFrame(handle, type, frame);
    return status == 0 ? 0 : failed(call, status);
}

/* Takes `count` depth frames; the last group's frames stay in `frames` (valid until the next
 * frame-ready query). */
static int stream(QlDeviceHandle handle, int count, Frames* frames) {
    const double start = now_seconds();
    int taken = 0;
    int misses = 0;
    while (taken < count) {
        FrameReady ready = 0;
        int status = QL_GetFrameReady(handle, FRAME_WAIT_MS, &ready);
        if (status != 0 || !(ready & FRAME_READY_DEPTH)) {
            if (++misses < 5) continue;
            if (status != 0) return failed("QL_GetFrameReady", status);
            fprintf(stderr, "quickstart: no depth frame within %d s\n", 5 * FRAME_WAIT_MS / 1000);
            return -1;
        }
        QlFrame* depth = &frames->depth;
        status = QL_GetFrame(handle, FRAME_DEPTH, depth);
        if (status != 0) return failed("QL_GetFrame(FRAME_DEPTH)", status);
        ++taken;
        const double elapsed = now_seconds() - start;
        const size_t centre = (size_t)(depth->height / 2) * depth->width + depth->width / 2;
        printf("frame %u  %ux%u  centre depth %u mm  %.1f fps\n", depth->frameIndex, depth->width, depth->height,
               pixel16(depth->pFrameData, centre), elapsed > 0 ? taken / elapsed : 0.0);
        if (taken < count) continue;
        if (take(handle, ready, FRAME_READY_IR, FRAME_IR, "QL_GetFrame(FRAME_IR)", &frames->ir) != 0 ||
            take(handle, ready, FRAME_READY_COLOR, FRAME_COLOR, "QL_GetFrame(FRAME_COLOR)", &frames->colour) != 0 ||
            take(handle, ready, FRAME_READY_DEPTH_IN_COLOR, FRAME_DEPTH_IN_COLOR, "QL_GetFrame(FRAME_DEPTH_IN_COLOR)",
                 &frames->depthInColour) != 0) {
            return -1;
        }
    }
    return 0;
}

static int usage(void) {
    fprintf(stderr, "usage: quickstart [-o OUTPUT_DIR] [-n FRAMES]\n");
    return 2;
}

int main(int argc, char** argv) {
    const char* dir = "quickstart-output";
    int frames = 10;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "-o") == 0 && i + 1 < argc) {
            dir = argv[++i];
        } else if (strcmp(argv[i], "-n") == 0 && i + 1 < argc) {
            frames = atoi(argv[++i]);
            if (frames < 1) return usage();
        } else {
            return usage();
        }
    }
    if (mkdir(dir, 0755) != 0 && errno != EEXIST) {
        fprintf(stderr, "quickstart: cannot create %s: %s\n", dir, strerror(errno));
        return 1;
    }

    int status = QL_InitializeWithLogPath(dir);
    if (status != 0) {
        failed("QL_InitializeWithLogPath", status);
        return 1;
    }
    printf("kit %s\n", QL_GetSDKVersion());

    int result = 1;
    QlDeviceHandle handle = NULL;
    QlDeviceInfo camera;
    if (wait_for_camera(&camera) != 0) goto shutdown;

    status = QL_OpenDeviceByIP(camera.ip, &handle);
    if (status != 0) {
        failed("QL_OpenDeviceByIP", status);
        goto shutdown;
    }
    printf("opened %s at %s\n", camera.serialNumber, camera.ip);

    /* Only a camera with colour maps its depth into the colour camera. */
    if (QL_SetTransformDepthImgToColorSensorEnabled(handle, true) == 0) printf("depth mapped into colour\n");

    status = QL_StartStream(handle);
    if (status != 0) {
        failed("QL_StartStream", status);
        goto close;
    }
    Frames taken;
    if (stream(handle, frames, &taken) == 0 && save_outputs(handle, dir, &taken) == 0) {
        result = 0;
    }
    status = QL_StopStream(handle);
    if (status != 0) {
        failed("QL_StopStream", status);
        result = 1;
    }
close:
    status = QL_CloseDevice(&handle);
    if (status != 0) {
        failed("QL_CloseDevice", status);
        result = 1;
    }
shutdown:
    status = QL_Shutdown();
    if (status != 0) {
        failed("QL_Shutdown", status);
        result = 1;
    }
    return result;
}
