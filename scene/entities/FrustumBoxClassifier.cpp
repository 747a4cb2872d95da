#include "scene/entities/FrustumBoxClassifier.h"


FrustumBoxClassifier::FrustumBoxClassifier(const Vector* planes6)
{
    // Lanes past the sixth plane hold a plane every point is inside (0, 0, 0, 1).
    float lanes[8][4] = {};
    for (int i = 0; i < 8; ++i)
    {
        if (i < 6)
        {
            lanes[i][0] = planes6[i].x;
            lanes[i][1] = planes6[i].y;
            lanes[i][2] = planes6[i].z;
            lanes[i][3] = planes6[i].w;
        }
        else
            lanes[i][3] = 1.0f;
    }
    for (int group = 0; group < 2; ++group)
    {
        float column[4][4];
        for (int lane = 0; lane < 4; ++lane)
            for (int k = 0; k < 4; ++k)
                column[k][lane] = lanes[group * 4 + lane][k];
        Group& g = m_groups[group];
        g.a = _mm_loadu_ps(column[0]);
        g.b = _mm_loadu_ps(column[1]);
        g.c = _mm_loadu_ps(column[2]);
        g.d = _mm_loadu_ps(column[3]);
        const __m128 signMask = _mm_set1_ps(-0.0f);
        g.absA = _mm_andnot_ps(signMask, g.a);
        g.absB = _mm_andnot_ps(signMask, g.b);
        g.absC = _mm_andnot_ps(signMask, g.c);
        g.absD = _mm_andnot_ps(signMask, g.d);
    }
}
