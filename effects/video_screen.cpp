// The video scene: works out from demoTime which clip frame belongs to the
// moment (one frame per 60 ms from the scene's start), has it decoded into the
// video texture and shows it on one flat screen 20 units in front of the eye.
// Needs the video stream and demoTime.
#include "effects/video_screen.h"

#include <GL/gl.h>

#include "media/music.h"
#include "media/video_stream.h"

// The constant lies a little above 1/60, so a time an exact multiple of 60 ms
// after start gives exactly that frame.
int32_t videoFrameAt(float start, float t) {
    double frame = (static_cast<double>(t) - start) * 1000 * static_cast<double>(0.016666668f);
    return static_cast<int32_t>(frame);
}

// 22 x 10.6 units at z = -20; the texture has the picture's bottom at t = 0.
static void drawScreenQuad() {
    glBegin(GL_QUADS);
    glTexCoord2f(1, 1);
    glVertex3f(11, 5.3f, -20);
    glTexCoord2f(0, 1);
    glVertex3f(-11, 5.3f, -20);
    glTexCoord2f(0, 0);
    glVertex3f(-11, -5.3f, -20);
    glTexCoord2f(1, 0);
    glVertex3f(11, -5.3f, -20);
    glEnd();
}

// The director calls it only while start < demoTime < start + length.
void drawVideoScreen(float start, float length) {
    (void)length;
    glEnable(GL_TEXTURE_2D);
    uploadVideoFrame(videoFrameAt(start, demoTime));
    glBindTexture(GL_TEXTURE_2D, videoTexture);
    glLoadIdentity();
    drawScreenQuad();
}
