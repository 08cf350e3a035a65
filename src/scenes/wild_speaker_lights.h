// Where the wild speaker's thirty lights sit on its ball: three angles per
// light, shared by the scene (which turns each speaker, light plate and beam
// into place with them) and the data tool (which cuts the ball's speaker
// sockets along the same axes), so the sockets cannot drift from the lights.
//
// Light i is turned by rotating c degrees about y, then -b degrees about z,
// then a degrees about x (GL order: the last rotation acts on the model
// first). A mesh built along +y then points out along the light's axis. The
// rows make rings: 0-4 at 57.6 degrees above the equator, 5-9 at 31.6, 10-19
// on the equator, 20-24 at 32.4 below, 25-29 at 58.4 below. Rows 27 and 28
// are the same orientation, so two lights share one socket and the ball has
// 29 distinct sockets.
#pragma once

struct cWildSpeakerLightAngles
{
    float a, b, c; // degrees
};

const int WILD_SPEAKER_LIGHT_COUNT = 30;

const cWildSpeakerLightAngles WILD_SPEAKER_LIGHT_ANGLES[WILD_SPEAKER_LIGHT_COUNT] = {
    {0.0f, -32.382f, 180.0f},        {0.0f, -32.382f, 108.0f},       {0.0f, -32.382f, 36.0f},
    {0.0f, -32.382f, -36.0f},        {0.0f, -32.382f, -108.0f},      {0.0f, -58.382f, 0.0f},
    {0.0f, -58.382f, 72.0f},         {0.0f, -58.382f, 144.0f},       {0.0f, -58.382f, -144.0f},
    {0.0f, -58.382f, -72.0f},        {-83.142f, -89.546f, 65.143f},  {-47.142f, -89.546f, 65.143f},
    {-11.142f, -89.546f, 65.143f},   {24.142f, -89.546f, 65.143f},   {60.142f, -89.546f, 65.143f},
    {96.858f, -89.546f, 65.143f},    {132.858f, -89.546f, 65.143f},  {168.858f, -89.546f, 65.143f},
    {-155.142f, -89.546f, 65.143f},  {-119.142f, -89.546f, 65.143f}, {0.0f, -122.382f, 36.0f},
    {180.0f, -57.618f, -72.0f},      {-180.0f, -57.618f, 0.0f},      {180.0f, -57.618f, 72.0f},
    {0.0f, -122.382f, -36.0f},       {0.0f, -148.382f, 0.0f},        {0.0f, -148.382f, 72.0f},
    {-180.0f, -31.618f, 36.0f},      {-180.0f, -31.618f, 36.0f},     {0.0f, -148.382f, -72.0f},
};
