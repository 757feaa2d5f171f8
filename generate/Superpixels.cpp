#include "generate/Internal.h"

#include <map>
#include <memory>
#include <opencv2/imgproc.hpp>
#include <opencv2/ximgproc/slic.hpp>
#include <queue>

namespace generate::detail {

namespace {

struct Boundary
{
    int length = 0;
    double gradient = 0; // summed over the boundary's pixels
};

struct Region
{
    cv::Vec3d labSum;
    int area = 0;
    cv::Rect box;
    int childA = -1, childB = -1; // the two regions merged into this one; -1 for a superpixel
    bool alive = true;
    std::map<int, Boundary> neighbours;
    cv::Vec3d mean() const { return labSum / double(area); }
};

struct Merge
{
    double cost;
    int a, b;
    bool operator<(const Merge& other) const
    {
        // The priority queue pops its largest element: the cheapest merge must compare largest.
        return cost != other.cost ? cost > other.cost : (a != other.a ? a > other.a : b > other.b);
    }
};

// How unlike two neighbouring regions are, hence how late they merge: their colours, the
// strength of the edge between them, and two terms that keep growth even and compact (small
// regions merge first; a merge that leaves much of its bounding box empty comes late), so a
// thing's parts join one another before the thing joins its ground.
double mergeCost(const Region& a, const Region& b, const Boundary& between, double pictureArea)
{
    const double colour = cv::norm(a.mean() - b.mean());
    const double edge = between.gradient / std::max(1, between.length);
    const double size = double(a.area + b.area) / pictureArea;
    const double emptiness = double((a.box | b.box).area() - a.area - b.area) / pictureArea;
    return colour / 15.0 + edge / 150.0 + 4.0 * size + 4.0 * emptiness;
}

void collectSuperpixels(const std::vector<Region>& regions, int id, std::vector<uchar>& member)
{
    std::vector<int> stack{id};
    while (!stack.empty()) {
        const Region& r = regions[std::size_t(stack.back())];
        const int here = stack.back();
        stack.pop_back();
        if (r.childA < 0) {
            member[std::size_t(here)] = 1;
        } else {
            stack.push_back(r.childA);
            stack.push_back(r.childB);
        }
    }
}

} // namespace

std::vector<RegionProposal> mergedSuperpixels(const cv::Mat& picture, int superpixelSize)
{
    cv::Mat lab8, grey, gx, gy, gradient;
    cv::cvtColor(picture, lab8, cv::COLOR_BGR2Lab);
    cv::cvtColor(picture, grey, cv::COLOR_BGR2GRAY);
    cv::GaussianBlur(grey, grey, cv::Size(3, 3), 0);
    cv::Sobel(grey, gx, CV_32F, 1, 0);
    cv::Sobel(grey, gy, CV_32F, 0, 1);
    cv::magnitude(gx, gy, gradient);

    auto slic = cv::ximgproc::createSuperpixelSLIC(lab8, cv::ximgproc::SLICO, superpixelSize);
    slic->iterate(5);
    slic->enforceLabelConnectivity(25);
    cv::Mat labels;
    slic->getLabels(labels);
    const int count = slic->getNumberOfSuperpixels();

    const auto shared = std::make_shared<std::vector<Region>>(std::size_t(count));
    std::vector<Region>& regions = *shared;
    for (int y = 0; y < labels.rows; ++y) {
        const int* row = labels.ptr<int>(y);
        const int* below = y + 1 < labels.rows ? labels.ptr<int>(y + 1) : nullptr;
        const auto* colour = lab8.ptr<cv::Vec3b>(y);
        const float* g = gradient.ptr<float>(y);
        for (int x = 0; x < labels.cols; ++x) {
            Region& r = regions[std::size_t(row[x])];
            r.box = r.area == 0 ? cv::Rect(x, y, 1, 1) : (r.box | cv::Rect(x, y, 1, 1));
            r.labSum += cv::Vec3d(colour[x][0], colour[x][1], colour[x][2]);
            ++r.area;
            // Each boundary pixel pair counts on both sides, with the stronger gradient of the two.
            const auto touch = [&](int other, float otherGradient) {
                if (other == row[x])
                    return;
                const double strength = std::max(g[x], otherGradient);
                for (const auto& [from, to] :
                     {std::pair{row[x], other}, std::pair{other, row[x]}}) {
                    Boundary& b = regions[std::size_t(from)].neighbours[to];
                    ++b.length;
                    b.gradient += strength;
                }
            };
            if (x + 1 < labels.cols)
                touch(row[x + 1], g[x + 1]);
            if (below)
                touch(below[x], gradient.at<float>(y + 1, x));
        }
    }

    const double pictureArea = double(picture.total());
    std::priority_queue<Merge> queue;
    for (int a = 0; a < count; ++a)
        for (const auto& [b, boundary] : regions[std::size_t(a)].neighbours)
            if (a < b && regions[std::size_t(a)].area > 0 && regions[std::size_t(b)].area > 0)
                queue.push({mergeCost(regions[std::size_t(a)], regions[std::size_t(b)], boundary,
                                      pictureArea),
                            a, b});

    std::vector<RegionProposal> proposals;
    while (!queue.empty()) {
        const Merge m = queue.top();
        queue.pop();
        if (!regions[std::size_t(m.a)].alive || !regions[std::size_t(m.b)].alive)
            continue;
        Region merged;
        {
            Region& a = regions[std::size_t(m.a)];
            Region& b = regions[std::size_t(m.b)];
            merged.labSum = a.labSum + b.labSum;
            merged.area = a.area + b.area;
            merged.box = a.box | b.box;
            merged.childA = m.a;
            merged.childB = m.b;
            a.alive = b.alive = false;
            for (const Region* part : {&a, &b})
                for (const auto& [n, boundary] : part->neighbours) {
                    if (n == m.a || n == m.b)
                        continue;
                    Boundary& joined = merged.neighbours[n];
                    joined.length += boundary.length;
                    joined.gradient += boundary.gradient;
                }
        }
        const int id = int(regions.size());
        for (const auto& [n, boundary] : merged.neighbours) {
            Region& other = regions[std::size_t(n)];
            other.neighbours.erase(m.a);
            other.neighbours.erase(m.b);
            other.neighbours[id] = boundary;
            queue.push({mergeCost(merged, other, boundary, pictureArea), n, id});
        }
        regions.push_back(std::move(merged));
        const Region& r = regions.back();
        if (r.area > pictureArea / 4)
            continue;
        // The mask is drawn only for the few proposals that pass the cheap tests on box and area.
        proposals.push_back({r.box, r.area, [labels, shared, id, count](const cv::Rect& area) {
                                 std::vector<uchar> member(std::size_t(count), 0);
                                 collectSuperpixels(*shared, id, member);
                                 cv::Mat mask(area.size(), CV_8U);
                                 for (int y = 0; y < area.height; ++y) {
                                     const int* row = labels.ptr<int>(area.y + y) + area.x;
                                     uchar* out = mask.ptr<uchar>(y);
                                     for (int x = 0; x < area.width; ++x)
                                         out[x] = member[std::size_t(row[x])] ? 255 : 0;
                                 }
                                 return mask;
                             }});
    }
    return proposals;
}

} // namespace generate::detail
