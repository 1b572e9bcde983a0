/* quickstart: finds a camera, streams a few frames, and writes one depth frame as a point
 * cloud (PLY) and the depth, IR and colour images as PNG files.
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
#define FRAME_WAIT_MS 1000
#define MAX_LISTED 8

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

/* The depths below which `fraction` of the valid pixels lie, from a histogram. */
static uint16_t depth_percentile(const uint32_t* histogram, size_t valid, double fraction) {
    const size_t wanted = (size_t)(fraction * (double)valid);
    size_t seen = 0;
    for (uint32_t d = 1; d < 65536; ++d) {
        seen += histogram[d];
        if (seen > wanted) return (uint16_t)d;
    }
    return 0xFFFF;
}

/* Depth in false colour: near is red, far is blue, no depth is black. The scale spans the
 * 1st to 99th percentile, so that a few stray pixels do not flatten it. */
static int write_depth_png(const char* path, const QlFrame* depth) {
    const size_t count = (size_t)depth->width * depth->height;
    uint32_t* histogram = calloc(65536, sizeof(*histogram));
    uint8_t* rgb = malloc(count * 3);
    if (!histogram || !rgb) {
        free(histogram);
        free(rgb);
        return -1;
    }
    size_t valid = 0;
    for (size_t i = 0; i < count; ++i) {
        const uint16_t d = pixel16(depth->pFrameData, i);
        if (d == 0) continue;
        ++histogram[d];
        ++valid;
    }
    const uint16_t lo = depth_percentile(histogram, valid, 0.01);
    const uint16_t hi = depth_percentile(histogram, valid, 0.99);
    free(histogram);
    for (size_t i = 0; i < count; ++i) {
        const uint16_t d = pixel16(depth->pFrameData, i);
        uint8_t* p = rgb + 3 * i;
        if (d == 0) {
            p[0] = p[1] = p[2] = 0;
            continue;
        }
        double t = hi > lo ? ((double)d - lo) / (double)(hi - lo) : 0.5;
        if (t < 0.0) t = 0.0;
        if (t > 1.0) t = 1.0;
        p[0] = (uint8_t)(255.0 * (t < 0.5 ? 1.0 : 2.0 * (1.0 - t)));
        p[1] = (uint8_t)(255.0 * (t < 0.5 ? 2.0 * t : 2.0 * (1.0 - t)));
        p[2] = (uint8_t)(255.0 * (t < 0.5 ? 2.0 * t : 1.0));
    }
    const int result = write_png(path, rgb, depth->width, depth->height, 3);
    free(rgb);
    return result;
}

/* IR as grey; 16-bit IR is scaled to its largest value. */
static int write_ir_png(const char* path, const QlFrame* ir) {
    const size_t count = (size_t)ir->width * ir->height;
    if (ir->pixelFormat == PIXEL_FORMAT_GRAY8) {
        return write_png(path, ir->pFrameData, ir->width, ir->height, 1);
    }
    uint16_t hi = 1;
    for (size_t i = 0; i < count; ++i) {
        const uint16_t v = pixel16(ir->pFrameData, i);
        if (v > hi) hi = v;
    }
    uint8_t* grey = malloc(count);
    if (!grey) return -1;
    for (size_t i = 0; i < count; ++i) {
        grey[i] = (uint8_t)(255u * pixel16(ir->pFrameData, i) / hi);
    }
    const int result = write_png(path, grey, ir->width, ir->height, 1);
    free(grey);
    return result;
}

static int write_colour_png(const char* path, const QlFrame* colour) {
    const size_t count = (size_t)colour->width * colour->height;
    uint8_t* rgb = malloc(count * 3);
    if (!rgb) return -1;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* s = colour->pFrameData + 3 * i;
        const int bgr = colour->pixelFormat == PIXEL_FORMAT_BGR;
        rgb[3 * i + 0] = bgr ? s[2] : s[0];
        rgb[3 * i + 1] = s[1];
        rgb[3 * i + 2] = bgr ? s[0] : s[2];
    }
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
        printf("camera %u: %s  serial %s  alias %s  ip %s  status %d\n", i, list[i].productName,
               list[i].serialNumber, list[i].alias, list[i].ip, (int)list[i].status);
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

static int save_outputs(QlDeviceHandle handle, const char* dir, const QlFrame* depth, const QlFrame* ir,
                        const QlFrame* colour) {
    int result = 0;
    const size_t count = (size_t)depth->width * depth->height;
    QlVector3f* points = malloc(count * sizeof(*points));
    char* ply = join(dir, "pointcloud.ply");
    char* depthPng = join(dir, "depth.png");
    char* irPng = join(dir, "ir.png");
    char* colourPng = join(dir, "colour.png");
    if (!points || !ply || !depthPng || !irPng || !colourPng) {
        fprintf(stderr, "quickstart: out of memory\n");
        result = -1;
        goto done;
    }
    const int status = QL_ConvertDepthFrameToPointCloudVector(handle, depth, points);
    if (status != 0) {
        result = failed("QL_ConvertDepthFrameToPointCloudVector", status);
        goto done;
    }
    if (write_ply(ply, points, count) != 0) result = -1;
    if (write_depth_png(depthPng, depth) != 0) result = -1;
    else printf("wrote %s\n", depthPng);
    if (ir->pFrameData) {
        if (write_ir_png(irPng, ir) != 0) result = -1;
        else printf("wrote %s\n", irPng);
    }
    if (colour->pFrameData) {
        if (write_colour_png(colourPng, colour) != 0) result = -1;
        else printf("wrote %s\n", colourPng);
    }
done:
    free(points);
    free(ply);
    free(depthPng);
    free(irPng);
    free(colourPng);
    return result;
}

/* Takes `frames` depth frames; the last group's depth, IR and colour frames stay in the
 * caller's records (valid until the next frame-ready query). */
static int stream(QlDeviceHandle handle, int frames, QlFrame* depth, QlFrame* ir, QlFrame* colour) {
    const double start = now_seconds();
    int taken = 0;
    int misses = 0;
    while (taken < frames) {
        FrameReady ready = 0;
        int status = QL_GetFrameReady(handle, FRAME_WAIT_MS, &ready);
        if (status != 0 || !(ready & FRAME_READY_DEPTH)) {
            if (++misses < 5) continue;
            if (status != 0) return failed("QL_GetFrameReady", status);
            fprintf(stderr, "quickstart: no depth frame within %d s\n", 5 * FRAME_WAIT_MS / 1000);
            return -1;
        }
        status = QL_GetFrame(handle, FRAME_DEPTH, depth);
        if (status != 0) return failed("QL_GetFrame(FRAME_DEPTH)", status);
        ++taken;
        const double elapsed = now_seconds() - start;
        const size_t centre = (size_t)(depth->height / 2) * depth->width + depth->width / 2;
        printf("frame %u  %ux%u  centre depth %u mm  %.1f fps\n", depth->frameIndex, depth->width,
               depth->height, pixel16(depth->pFrameData, centre), elapsed > 0 ? taken / elapsed : 0.0);
        if (taken < frames) continue;
        memset(ir, 0, sizeof(*ir));
        memset(colour, 0, sizeof(*colour));
        if (ready & FRAME_READY_IR) {
            status = QL_GetFrame(handle, FRAME_IR, ir);
            if (status != 0) return failed("QL_GetFrame(FRAME_IR)", status);
        }
        if (ready & FRAME_READY_COLOR) {
            status = QL_GetFrame(handle, FRAME_COLOR, colour);
            if (status != 0) return failed("QL_GetFrame(FRAME_COLOR)", status);
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

    status = QL_StartStream(handle);
    if (status != 0) {
        failed("QL_StartStream", status);
        goto close;
    }
    QlFrame depth, ir, colour;
    if (stream(handle, frames, &depth, &ir, &colour) == 0 && save_outputs(handle, dir, &depth, &ir, &colour) == 0) {
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
