// The overview page's maps: each device's track drawn on a Leaflet map in place of the plain
// drawing, from the GeoJSON the server serves, and followed every few seconds without reloading
// the page. Without JavaScript, or without Leaflet, the plain drawing stays.
'use strict';

(function () {
    const refreshMs = 5000;
    if (typeof L === 'undefined')
        return;
    const tiles = document.body.dataset.tiles || '';

    // Tooltips take HTML; what a device sent goes in as text only.
    function textOf(text) {
        const span = document.createElement('span');
        span.textContent = text;
        return span;
    }

    function timeOf(feature) {
        return feature.properties.time + (feature.properties.late ? ' (late)' : '');
    }

    // The track as layers: the line, a dot per report (late ones ringed), start and end marked.
    function trackLayers(collection) {
        const group = L.featureGroup();
        const points = collection.features.filter((f) => f.geometry.type === 'Point');
        const line = collection.features.find((f) => f.geometry.type === 'LineString');
        if (line) {
            L.polyline(line.geometry.coordinates.map(([lon, lat]) => [lat, lon]),
                       { color: '#1565c0', weight: 3 }).addTo(group);
        }
        points.forEach((f, i) => {
            const [lon, lat] = f.geometry.coordinates;
            const end = i === points.length - 1;
            const start = i === 0;
            const style = start || end
                ? { radius: 7, color: '#fff', weight: 2, fillOpacity: 1,
                    fillColor: start ? '#2e7d32' : '#b71c1c' }
                : f.properties.late
                    ? { radius: 5, color: '#e65100', weight: 2, fillColor: '#fff', fillOpacity: 1 }
                    : { radius: 3, color: '#1565c0', weight: 1, fillColor: '#1565c0',
                        fillOpacity: 1 };
            const label = (start ? 'Start: ' : end ? 'Latest: ' : '') + timeOf(f);
            L.circleMarker([lat, lon], style).bindTooltip(textOf(label)).addTo(group);
        });
        return group;
    }

    function follow(holder) {
        const drawing = holder.parentElement.querySelector('svg');
        holder.hidden = false;
        if (drawing)
            drawing.style.display = 'none';
        const map = L.map(holder, { attributionControl: tiles !== '' });
        if (tiles !== '') {
            L.tileLayer(tiles, {
                maxZoom: 19,
                attribution: '&copy; <a href="https://www.openstreetmap.org/copyright">'
                    + 'OpenStreetMap</a> contributors',
            }).addTo(map);
        }
        let shown = null;
        let fitted = false;
        async function refresh() {
            try {
                const response = await fetch(holder.dataset.geojson, { cache: 'no-store' });
                if (!response.ok)
                    return;
                const layers = trackLayers(await response.json());
                if (shown)
                    shown.remove();
                shown = layers.addTo(map);
                const markers = layers.getLayers().filter((l) => l instanceof L.CircleMarker);
                if (!fitted && markers.length > 0) {
                    map.fitBounds(layers.getBounds(), { padding: [20, 20], maxZoom: 17 });
                    fitted = true;
                } else if (markers.length > 0) {
                    // The newest report stays in sight, wherever the viewer has moved the map.
                    const latest = markers[markers.length - 1].getLatLng();
                    if (!map.getBounds().contains(latest))
                        map.panTo(latest);
                }
            } catch (error) {
                // The server is away for a moment: the map keeps what it shows.
            }
        }
        refresh();
        setInterval(refresh, refreshMs);
    }

    document.querySelectorAll('.map[data-geojson]').forEach(follow);
})();
