// The page's elements by id, as the views find them.
export function byId<T extends HTMLElement>(id: string): T {
  return document.getElementById(id) as T;
}
