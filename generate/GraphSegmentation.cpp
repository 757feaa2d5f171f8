#include "generate/Internal.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <utility>

namespace generate::detail {

namespace {

// A link between two neighbouring pixels, weighted by how far apart their smoothed colours are.
struct Link
{
    int from;
    int to;
    float weight;
    bool operator<(const Link& other) const { return weight < other.weight; }
};

// Disjoint sets of pixels, each named by one of its pixels (its root).
class PixelSets
{
  public:
    explicit PixelSets(int count) : parent(std::size_t(count)), sizes(std::size_t(count), 1)
    {
        for (int i = 0; i < count; ++i)
            parent[std::size_t(i)] = i;
    }

    int rootOf(int pixel)
    {
        int root = pixel;
        while (parent[std::size_t(root)] != root)
            root = parent[std::size_t(root)];
        parent[std::size_t(pixel)] = root;
        return root;
    }

    // Joins two roots; the larger set's root stays (the first one's when they are equal).
    int join(int a, int b)
    {
        if (sizes[std::size_t(a)] < sizes[std::size_t(b)])
            std::swap(a, b);
        parent[std::size_t(b)] = a;
        sizes[std::size_t(a)] += sizes[std::size_t(b)];
        return a;
    }

    int size(int root) const { return sizes[std::size_t(root)]; }

  private:
    std::vector<int> parent;
    std::vector<int> sizes;
};

} // namespace

// Felzenszwalb and Huttenlocher's graph segmentation, as OpenCV's ximgproc computes it, for
// several scales at once. The smoothing, the links and their order by weight do not depend on
// the scale, so they are made once; sorting the links was most of the cost of each scale.
// The links are made and sorted exactly as OpenCV does (up, left, down, right of each pixel in
// row order, one std::sort by weight), so the labels are the same as its, scale for scale.
std::vector<cv::Mat> graphSegmentations(const cv::Mat& picture, double sigma,
                                        const std::vector<float>& scales, int minSize)
{
    cv::Mat smoothed;
    picture.convertTo(smoothed, CV_32F);
    cv::GaussianBlur(smoothed, smoothed, cv::Size(0, 0), sigma, sigma);
    const int rows = smoothed.rows;
    const int cols = smoothed.cols;
    const int channels = smoothed.channels();

    std::vector<Link> links;
    links.reserve(std::size_t(rows) * std::size_t(cols) * 4);
    const int steps[4][2] = {{-1, 0}, {0, -1}, {1, 0}, {0, 1}}; // up, left, down, right
    for (int y = 0; y < rows; ++y) {
        const float* here = smoothed.ptr<float>(y);
        for (int x = 0; x < cols; ++x) {
            for (const auto& step : steps) {
                const int y2 = y + step[0];
                const int x2 = x + step[1];
                if (y2 < 0 || y2 >= rows || x2 < 0 || x2 >= cols)
                    continue;
                const float* there = smoothed.ptr<float>(y2);
                // Summed as OpenCV sums: differences in float, squares added in double, the
                // total kept in float.
                float total = 0;
                for (int c = 0; c < channels; ++c) {
                    const float d = here[x * channels + c] - there[x2 * channels + c];
                    total = float(double(total) + double(d) * double(d));
                }
                links.push_back({y * cols + x, y2 * cols + x2, std::sqrt(total)});
            }
        }
    }
    std::sort(links.begin(), links.end());

    std::vector<cv::Mat> labelsPerScale;
    const int pixels = rows * cols;
    for (const float k : scales) {
        PixelSets sets(pixels);
        std::vector<float> threshold(std::size_t(pixels), k);
        for (const Link& link : links) {
            const int a = sets.rootOf(link.from);
            const int b = sets.rootOf(link.to);
            if (a == b || link.weight > threshold[std::size_t(a)] ||
                link.weight > threshold[std::size_t(b)])
                continue;
            const int root = sets.join(a, b);
            threshold[std::size_t(root)] = link.weight + k / float(sets.size(root));
        }
        // Regions under minSize pixels join a neighbour, in the links' order. (A link that
        // joined two regions above now lies inside one, so it is passed over here.)
        for (const Link& link : links) {
            const int a = sets.rootOf(link.from);
            const int b = sets.rootOf(link.to);
            if (a != b && (sets.size(a) < minSize || sets.size(b) < minSize))
                sets.join(a, b);
        }
        // Labels 0, 1, 2, ... in the order the regions first appear, row by row.
        cv::Mat labels(rows, cols, CV_32S);
        int* out = labels.ptr<int>(); // a new Mat is continuous: pixel p is out[p]
        std::vector<int> label(std::size_t(pixels), -1);
        int next = 0;
        for (int p = 0; p < pixels; ++p) {
            int& l = label[std::size_t(sets.rootOf(p))];
            if (l < 0)
                l = next++;
            out[p] = l;
        }
        labelsPerScale.push_back(labels);
    }
    return labelsPerScale;
}

} // namespace generate::detail
