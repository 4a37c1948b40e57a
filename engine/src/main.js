// The page's entry point, called by the host.
import { convert } from './engine.js';

window.ombrixConvert = (kind, payload, name) =>
  convert(kind, payload, name, { DOMParser: window.DOMParser, XMLSerializer: window.XMLSerializer });
