// GNOME Shell 45's resource:///org/gnome/shell/extensions/extension.js as far
// as an extension sees it: the base class its default export extends.
export class Extension {
    constructor(metadata) {
        this.metadata = metadata;
    }
}
